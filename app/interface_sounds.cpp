#include "app/interface_sounds.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace navorel::app {

void InterfaceSounds::click(bool on) {
    if (on) play(click_, "qrc:/sounds/click.wav");
}

void InterfaceSounds::hover(bool on) {
    if (on) play(hover_, "qrc:/sounds/hover.wav");
}

void InterfaceSounds::play(QSoundEffect*& slot, const char* source) {
    ++requests_;
    if (haveOutput_ < 0) haveOutput_ = QMediaDevices::audioOutputs().isEmpty() ? 0 : 1;
    if (haveOutput_ == 0) return; // no audio output: silent
    if (!slot) {
        slot = new QSoundEffect(this);
        slot->setSource(QUrl(QString::fromLatin1(source)));
        slot->setVolume(0.5);
    }
    slot->play();
}

} // namespace navorel::app
