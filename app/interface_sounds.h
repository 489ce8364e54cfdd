#pragma once
// The toolbar's sounds: a click when a button acts and a tick when the pointed button changes.
// Nothing is made while the sounds are off, and nothing is played where there is no audio
// output.
#include <QObject>

class QSoundEffect;

namespace navorel::app {

class InterfaceSounds : public QObject {
  public:
    explicit InterfaceSounds(QObject* parent = nullptr) : QObject(parent) {}
    // Each plays asynchronously when `on` ([Toolbar] Sounds).
    void click(bool on);
    void hover(bool on);
    // Sounds asked for while on (played or not, by the audio output).
    int requests() const { return requests_; }

  private:
    void play(QSoundEffect*& slot, const char* source);

    QSoundEffect* click_ = nullptr;
    QSoundEffect* hover_ = nullptr;
    int haveOutput_ = -1; // -1 not asked yet
    int requests_ = 0;
};

} // namespace navorel::app
