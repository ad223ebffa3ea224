#include "widgets/flags.h"

#include <QPainter>
#include <QPolygon>
#include <array>

namespace {

constexpr int kWidth = 21;
constexpr int kHeight = 13;

enum class TFlagKind {
  Horizontal, // stripes from top to bottom
  Vertical,   // stripes from hoist to fly
  HoistBar,   // horizontal stripes with a vertical bar of `mark` at the hoist
  Triangle,   // horizontal stripes with a triangle of `mark` at the hoist
  Nordic,     // `mark` cross shifted to the hoist, `inner` drawn inside it
  Plus,       // `mark` cross in the middle
  Disc,       // `mark` disc in the middle
  Canton,     // horizontal stripes with a `mark` rectangle top left
  Diamond,    // `mark` diamond with an `inner` disc
  Union,      // the crosses of the union flag
};

struct TFlag {
  const char *code;
  TFlagKind kind;
  std::array<QRgb, 6> stripes; // zero ends the list
  QRgb mark = 0;
  QRgb inner = 0;
};

constexpr QRgb kWhite = 0xffffffff, kRed = 0xffd52b1e, kBlue = 0xff0033a0, kGreen = 0xff009a44,
               kYellow = 0xffffd100, kBlack = 0xff000000, kNavy = 0xff012169, kSky = 0xff75aadb,
               kOrange = 0xffff9933;

using K = TFlagKind;
const TFlag kFlags[] = {
    {"AE", K::HoistBar, {kGreen, kWhite, kBlack}, kRed},
    {"AR", K::Horizontal, {kSky, kWhite, kSky}},
    {"AU", K::Canton, {kNavy}, kRed},
    {"BA", K::Triangle, {kBlue}, kYellow},
    {"BG", K::Horizontal, {kWhite, kGreen, kRed}},
    {"BR", K::Diamond, {kGreen}, kYellow, kNavy},
    {"BY", K::Horizontal, {kRed, kRed, kGreen}},
    {"CA", K::Vertical, {kRed, kWhite, kRed}},
    {"CH", K::Plus, {kRed}, kWhite},
    {"CL", K::Canton, {kWhite, kRed}, kBlue},
    {"CN", K::Canton, {kRed}, kYellow},
    {"CZ", K::Triangle, {kWhite, kRed}, kBlue},
    {"DE", K::Horizontal, {kBlack, kRed, kYellow}},
    {"DK", K::Nordic, {kRed}, kWhite, kWhite},
    {"EE", K::Horizontal, {kSky, kBlack, kWhite}},
    {"FI", K::Nordic, {kWhite}, kBlue, kBlue},
    {"FR", K::Vertical, {kBlue, kWhite, kRed}},
    {"GR", K::Canton, {kBlue, kWhite, kBlue, kWhite, kBlue}, kBlue},
    {"HK", K::Disc, {kRed}, kWhite},
    {"HR", K::Horizontal, {kRed, kWhite, kBlue}},
    {"HU", K::Horizontal, {kRed, kWhite, kGreen}},
    {"ID", K::Horizontal, {kRed, kWhite}},
    {"IE", K::Vertical, {kGreen, kWhite, kOrange}},
    {"IL", K::Horizontal, {kWhite, kBlue, kWhite, kWhite, kBlue, kWhite}},
    {"IN", K::Horizontal, {kOrange, kWhite, kGreen}},
    {"IR", K::Horizontal, {kGreen, kWhite, kRed}},
    {"IT", K::Vertical, {kGreen, kWhite, kRed}},
    {"JP", K::Disc, {kWhite}, kRed},
    {"KR", K::Disc, {kWhite}, kRed},
    {"LT", K::Horizontal, {kYellow, kGreen, kRed}},
    {"LV", K::Horizontal, {0xff9e3039, kWhite, 0xff9e3039}},
    {"MX", K::Vertical, {kGreen, kWhite, kRed}},
    {"MY", K::Canton, {kRed, kWhite, kRed, kWhite, kRed, kWhite}, kNavy},
    {"NO", K::Nordic, {kRed}, kWhite, kNavy},
    {"NZ", K::Canton, {kNavy}, kRed},
    {"PH", K::Triangle, {kBlue, kRed}, kWhite},
    {"PL", K::Horizontal, {kWhite, kRed}},
    {"PT", K::Vertical, {kGreen, kRed, kRed}},
    {"RO", K::Vertical, {kBlue, kYellow, kRed}},
    {"RS", K::Horizontal, {kRed, kBlue, kWhite}},
    {"RU", K::Horizontal, {kWhite, kBlue, kRed}},
    {"SE", K::Nordic, {kBlue}, kYellow, kYellow},
    {"SI", K::Horizontal, {kWhite, kBlue, kRed}},
    {"SK", K::Horizontal, {kWhite, kBlue, kRed}},
    {"TH", K::Horizontal, {kRed, kWhite, kNavy, kNavy, kWhite, kRed}},
    {"TR", K::Disc, {kRed}, kWhite},
    {"TW", K::Canton, {kRed}, kNavy},
    {"UA", K::Horizontal, {kBlue, kYellow}},
    {"UK", K::Union, {kNavy}, kWhite, kRed},
    {"US", K::Canton, {kRed, kWhite, kRed, kWhite, kRed, kWhite}, kNavy},
    {"VN", K::Disc, {kRed}, kYellow},
    {"ZA", K::Triangle, {kRed, kGreen, kBlue}, kBlack},
};

void DrawStripes(QPainter &p, const TFlag &flag, bool vertical) {
  int count = 0;
  while (count < int(flag.stripes.size()) && flag.stripes[count])
    ++count;
  const int length = vertical ? kWidth : kHeight;
  for (int i = 0; i < count; ++i) {
    const int from = length * i / count, to = length * (i + 1) / count;
    const QRect r =
        vertical ? QRect(from, 0, to - from, kHeight) : QRect(0, from, kWidth, to - from);
    p.fillRect(r, QColor::fromRgba(flag.stripes[i]));
  }
}

void DrawFlag(QPainter &p, const TFlag &flag) {
  const QColor mark = QColor::fromRgba(flag.mark), inner = QColor::fromRgba(flag.inner);
  DrawStripes(p, flag, flag.kind == K::Vertical);
  switch (flag.kind) {
  case K::Horizontal:
  case K::Vertical:
    break;
  case K::HoistBar:
    p.fillRect(0, 0, 6, kHeight, mark);
    break;
  case K::Triangle:
    p.setPen(Qt::NoPen);
    p.setBrush(mark);
    p.drawPolygon(QPolygon({QPoint(0, 0), QPoint(10, kHeight / 2), QPoint(0, kHeight - 1)}));
    break;
  case K::Nordic:
    p.fillRect(6, 0, 4, kHeight, mark);
    p.fillRect(0, 5, kWidth, 3, mark);
    p.fillRect(7, 0, 2, kHeight, inner);
    p.fillRect(0, 6, kWidth, 1, inner);
    break;
  case K::Plus:
    p.fillRect(9, 2, 3, 9, mark);
    p.fillRect(6, 5, 9, 3, mark);
    break;
  case K::Disc:
    p.setPen(Qt::NoPen);
    p.setBrush(mark);
    p.drawEllipse(QPoint(10, 6), 4, 4);
    break;
  case K::Canton:
    p.fillRect(0, 0, 9, 7, mark);
    break;
  case K::Diamond:
    p.setPen(Qt::NoPen);
    p.setBrush(mark);
    p.drawPolygon(QPolygon({QPoint(10, 1), QPoint(19, 6), QPoint(10, 11), QPoint(1, 6)}));
    p.setBrush(inner);
    p.drawEllipse(QPoint(10, 6), 3, 3);
    break;
  case K::Union:
    p.setPen(QPen(mark, 3));
    p.drawLine(0, 0, kWidth, kHeight);
    p.drawLine(0, kHeight, kWidth, 0);
    p.setPen(QPen(inner, 1));
    p.drawLine(0, 0, kWidth, kHeight);
    p.drawLine(0, kHeight, kWidth, 0);
    p.fillRect(8, 0, 5, kHeight, mark);
    p.fillRect(0, 4, kWidth, 5, mark);
    p.fillRect(9, 0, 3, kHeight, inner);
    p.fillRect(0, 5, kWidth, 3, inner);
    break;
  }
}

} // namespace

QStringList FlagNames() {
  QStringList names;
  for (const TFlag &flag : kFlags)
    names << QStringLiteral("FLAG_") + QLatin1String(flag.code);
  return names;
}

QImage FlagPicture(const QString &name) {
  for (const TFlag &flag : kFlags) {
    if (name != QStringLiteral("FLAG_") + QLatin1String(flag.code))
      continue;
    QImage image(kWidth, kHeight, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    DrawFlag(p, flag);
    return image;
  }
  return {};
}
