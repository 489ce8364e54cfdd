#pragma once
// The splash window of the start-up: the splash image with the text of the current stage.
#include <QString>
#include <QWidget>

namespace navorel::app {

class SplashWindow : public QWidget {
  public:
    // stageTexts: the texts of stages 0 to 3.
    explicit SplashWindow(const QString (&stageTexts)[4]);
    // Moves to a stage and repaints at once (no event loop runs during the start-up).
    void setStage(int stage);
    int stage() const { return stage_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString texts_[4];
    int stage_ = 0;
};

} // namespace navorel::app
