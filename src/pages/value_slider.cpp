#include "pages/value_slider.h"

#include <QEvent>
#include <QKeyEvent>
#include <QSlider>
#include <algorithm>

namespace korvane {

namespace {

constexpr int kTickEvery = 10;  // positions
constexpr int kPageSize = 10;   // positions per Page Up / Page Down or channel click
constexpr int kLineSize = 1;    // positions per arrow key

// Qt ties Left and Right of an inverted vertical slider to its appearance, so
// Left would move the thumb down; the trackbar moves it up, as it does for Up.
class TrackbarKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        auto* slider = qobject_cast<QSlider*>(watched);
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (slider == nullptr || (key != Qt::Key_Left && key != Qt::Key_Right)) return false;
        slider->triggerAction(key == Qt::Key_Left ? QAbstractSlider::SliderSingleStepSub
                                                  : QAbstractSlider::SliderSingleStepAdd);
        return true;
    }
};

}  // namespace

void setUpValueSlider(QSlider* slider) {
    slider->setOrientation(Qt::Vertical);
    slider->setRange(kSliderTop, kSliderBottom);
    slider->setTickPosition(QSlider::TicksBothSides);
    slider->setTickInterval(kTickEvery);
    slider->setPageStep(kPageSize);
    slider->setSingleStep(kLineSize);
    slider->setTracking(true);
    // Minimum at the top; Up and Page Up then step towards it.
    slider->setInvertedAppearance(true);
    slider->setInvertedControls(true);
    slider->setFocusPolicy(Qt::StrongFocus);
    slider->installEventFilter(new TrackbarKeys(slider));
}

int sliderPositionOf(int32_t position) { return std::clamp(position, kSliderTop, kSliderBottom); }

float sliderScale(float lower, float upper) {
    const float span = lower - upper;
    return static_cast<float>(static_cast<double>(span) / (kSliderBottom - kSliderTop));
}

void followSlider(QSlider* slider, std::function<void(int position, bool store)> follow) {
    // actionTriggered comes after sliderPosition has moved and before value()
    // follows it, so the position is read from sliderPosition().
    QObject::connect(
        slider, &QAbstractSlider::actionTriggered, slider, [slider, follow](int action) {
            if (action == QAbstractSlider::SliderNoAction) return;
            const bool dragging = action == QAbstractSlider::SliderMove && slider->isSliderDown();
            follow(slider->sliderPosition(), !dragging);
        });
    QObject::connect(slider, &QAbstractSlider::sliderReleased, slider,
                     [slider, follow] { follow(slider->sliderPosition(), true); });
}

}  // namespace korvane
