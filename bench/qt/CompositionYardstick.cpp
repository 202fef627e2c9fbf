// The Qt side of the composition benchmark: the Qt backend on the offscreen platform, and the
// scene as a plain Qt program draws it with one QPainter.
#include "bench/CompositionYardstick.h"

#include <cstdlib>
#include <vector>

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>

#include "toolkit/qt/QtBackend.h"

namespace composition {

struct TBackendRun::TImpl {
  std::unique_ptr<TQtBackendScope> Scope;
};

TBackendRun::TBackendRun(int& argc, char** argv) : FImpl(std::make_unique<TImpl>()) {
  // Pictures in memory only: no display needed, unless the caller chose a platform.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  FImpl->Scope = std::make_unique<TQtBackendScope>(argc, argv);
}
TBackendRun::~TBackendRun() = default;

struct TYardstick::TImpl {
  QImage Target{kWidth, kHeight, QImage::Format_ARGB32_Premultiplied};
  QImage Picture{kSide, kSide, QImage::Format_ARGB32_Premultiplied};
  QFont Font;
  std::vector<QString> Texts;
};

TYardstick::TYardstick(const TFontData& font) : FImpl(std::make_unique<TImpl>()) {
  for (int y = 0; y < kSide; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(FImpl->Picture.scanLine(y));
    for (int x = 0; x < kSide; ++x) row[x] = PicturePixel(x, y);
  }
  // The labels' face where it is installed, else the usual sans face; their pixel height, and
  // whole-pixel glyphs as the toolkit draws them, so that both sides put down the same pixels.
  FImpl->Font.setFamilies(
      {QString::fromStdString(font.Name), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
  FImpl->Font.setPixelSize(font.Height < 0 ? -font.Height : font.Height);
  FImpl->Font.setStyleStrategy(QFont::NoAntialias);
  for (int i = 0; i < kLabels; ++i) FImpl->Texts.push_back(QString::fromStdString(LabelText(i)));
}

TYardstick::~TYardstick() = default;

void TYardstick::Draw(const TRect* clip, TColor changingLabel) {
  QPainter p(&FImpl->Target);
  if (clip) p.setClipRect(QRect(clip->Left, clip->Top, clip->Width(), clip->Height()));
  p.fillRect(0, 0, kWidth, kHeight, Qt::black);
  p.setOpacity(kOpacity / 255.0);
  p.drawImage(QRect(kImage.Left, kImage.Top, kImage.Width(), kImage.Height()), FImpl->Picture);
  p.setOpacity(1);
  p.setFont(FImpl->Font);
  const QColor changed(GetRValue(changingLabel), GetGValue(changingLabel), GetBValue(changingLabel));
  for (int i = 0; i < kLabels; ++i) {
    const TRect r = LabelRect(i);
    p.setPen(i == kChangingLabel ? changed : QColor(Qt::white));
    p.drawText(QRect(r.Left, r.Top, r.Width(), r.Height()), Qt::AlignHCenter | Qt::AlignTop, FImpl->Texts[static_cast<size_t>(i)]);
  }
}

}  // namespace composition
