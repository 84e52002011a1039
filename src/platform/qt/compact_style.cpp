#include "platform/qt/compact_style.h"

#include <QApplication>
#include <QFont>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOption>

namespace vorlane::platform::qt {
namespace {

// Fusion with the room around captions and fields cut to what a 20-pixel gadget affords.
class CompactStyle final : public QProxyStyle {
 public:
  CompactStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    switch (metric) {
      case PM_ButtonMargin: return 2;
      case PM_CheckBoxLabelSpacing:
      case PM_RadioButtonLabelSpacing: return 3;
      default: return QProxyStyle::pixelMetric(metric, option, widget);
    }
  }

  QRect subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const override {
    // The label may use all but the button's bevel.
    if (element == SE_PushButtonContents) return option->rect.adjusted(1, 1, -1, -1);
    // Text fields keep a one-pixel margin inside their frame.
    if (element == SE_LineEditContents) return option->rect.adjusted(2, 1, -2, -1);
    return QProxyStyle::subElementRect(element, option, widget);
  }
};

}  // namespace

void useCompactLook() {
  static bool done = false;
  if (done || !qApp) return;
  done = true;
  QApplication::setStyle(new CompactStyle);
  // 11 pixels fill a 20-pixel button's line; a narrower face lets "Export Map" fit its 60.
  QFont font = QApplication::font();
  font.setPixelSize(11);
  font.setStretch(QFont::SemiCondensed);
  QApplication::setFont(font);
}

}  // namespace vorlane::platform::qt
