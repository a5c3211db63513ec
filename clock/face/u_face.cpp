#include "clock/face/u_face.h"

#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>

#include "clock/engine/u_orvtime.h"
#include "clock/face/henkanj.h"
#include "clock/face/u_resources.h"
#include "clock/settings/u_appinfos.h"
#include "common/cp932.h"

namespace kw {

namespace {

const char* const kOrvWeekdayShort[7] = {"天", "冥", "地", "水", "火", "風", "沌"};
const char* const kRealWeekdayShort[7] = {"日", "月", "火", "水", "木", "金", "土"};
const char* const kChaosPhaseNames[4] = {"待機中", "ゲート解放中", "奔流解放中", "カオス交戦中"};
const char* const kChaosNextLabels[4] = {"カオス解放まで", "奔流解放まで", "神獣出現まで", "時間切れまで"};
const char* const kChaosPhaseShort[4] = {"待", "開", "奔", "戦"};

constexpr TColor kBlack = Rgb(0, 0, 0);
constexpr TColor kWhite = Rgb(255, 255, 255);

const char* const kLucida = "Lucida Console";
const char* const kPGothic = "ＭＳ Ｐゴシック";
const char* const kUiGothic = "MS UI Gothic";
const char* const kTahoma = "Tahoma";

QString U(const char* utf8) { return QString::fromUtf8(utf8); }
QString Num(int64_t n) { return QString::number(n); }
QString Two(int64_t n) { return QString::fromStdString(TOrvTime::ZeroPad(static_cast<int32_t>(n), 2)); }

int Phase(int32_t p) { return p >= 0 && p <= 3 ? p : 0; }

}  // namespace

QString PadNumber(QChar ch, int32_t n, int width) {
  if (width <= 0) return {};
  const QString s = QString(width, ch) + QString::number(n);
  return s.right(width);
}

QString ChaosCountdownText(int64_t S) {
  S = std::max<int64_t>(S, 0);
  const int64_t d = S / 86400, h = S / 3600 % 24, m = S / 60 % 60, s = S % 60;
  if (d >= 1) return Num(d) + U("日と") + Num(h) + U("時間");
  if (h >= 1) return Num(h) + U("時間") + Two(m) + U("分");
  if (m >= 1) return Two(m) + U("分") + Two(s) + U("秒");
  if (s >= 1) return Two(s) + U("秒");
  return U("(ﾟ∀ﾟ)");
}

QString ChaosCountdownTextMini(int64_t S) {
  S = std::max<int64_t>(S, 0);
  const int64_t d = S / 86400, h = S / 3600 % 24, m = S / 60 % 60, s = S % 60;
  if (d >= 1) return Num(d) + (d == 1 ? U(" Day") : U(" Day(s)"));
  if (h >= 1) return Num(h) + (h == 1 ? U(" Hour") : U(" Hours"));
  if (m >= 1) return Two(m) + U(" Min.");
  return Two(s) + U(" Sec.");
}

TColor ChaosCountdownColor(int32_t p, int64_t S) {
  if (p == 1 || p == 2) return Rgb(255, 128, 0);
  if (p == 3) return Rgb(240, 0, 0);
  if (S >= 0 && S < 3600) return Rgb(static_cast<int>((3600 - S) * 120 / 3600), 0, 0);
  return kBlack;
}

int BackgroundIndex(int hour) {
  if (hour >= 5 && hour <= 8) return 1;
  if (hour >= 9 && hour <= 18) return 2;
  return 0;
}

void HalveBitmap(TABitmap& bitmap) {
  const int w = bitmap.Width() / 2, h = bitmap.Height() / 2;
  for (int j = 0; j < h; ++j) {
    const auto* r0 = reinterpret_cast<const uint8_t*>(bitmap.ScanLine(2 * j));
    const auto* r1 = reinterpret_cast<const uint8_t*>(bitmap.ScanLine(2 * j + 1));
    auto* d = reinterpret_cast<uint8_t*>(bitmap.ScanLine(j));
    for (int i = 0; i < w; ++i) {
      const int a = 8 * i, b = a + 4;
      for (int k = 0; k < 3; ++k)
        d[4 * i + k] = static_cast<uint8_t>((r0[a + k] + r0[b + k] + r1[a + k] + r1[b + k]) >> 2);
    }
  }
  bitmap.SetSize(w, h);
}

// ---- TFace --------------------------------------------------------------------------------

TFace::TFace(const TOrvTime& orv, const TAppInfos& settings) : orv_(orv), settings_(settings) {
  Icons.Bell.Assign(ResourceBitmap("bAlarmBell"));
  Icons.ChaosAlarm.Assign(ResourceBitmap("bChaosAlarmIcon"));
  Icons.Timer.Assign(ResourceBitmap("bTimerIcon"));
  Icons.BellMD.Assign(ResourceBitmap("bAlarmBellMD"));
  Icons.ChaosAlarmMD.Assign(ResourceBitmap("bChaosAlarmIconMD"));
  Icons.TimerMD.Assign(ResourceBitmap("bTimerIconMD"));
  Skin.MiniBackground.Assign(ResourceBitmap("bMiniDigiBG"));
  ResetFaceCache();
}

void TFace::ResetFaceCache() {
  FaceMinuteCache.assign(static_cast<size_t>(std::max(orv_.ServerCount, 0)) + 1, -1);
}

int32_t TFace::MaintenanceState() const {
  return Hooks.MaintenanceState ? Hooks.MaintenanceState() : orv_.MaintenanceState();
}
bool TFace::IsServerDown(int32_t i) const { return Hooks.IsServerDown ? Hooks.IsServerDown(i) : orv_.IsServerDown(i); }
int32_t TFace::SelectedGameServer() const {
  if (Hooks.SelectedGameServer) return Hooks.SelectedGameServer();
  return settings_.FServer >= 0 && settings_.FServer < orv_.ServerCount ? settings_.FServer : 0;
}
bool TFace::TimerActive() const { return Hooks.TimerActive && Hooks.TimerActive(); }

int TFace::CellWidth() const {
  switch (settings_.FMode) {
    case 0: return Skin.Backgrounds[0].Width();
    case 1: return Skin.MiniBackground.Width();
    case 2: return Skin.Analog.Width();
    default: return 0;
  }
}

int TFace::CellHeight() const {
  switch (settings_.FMode) {
    case 0: return Skin.Backgrounds[0].Height();
    case 1: return Skin.MiniBackground.Height();
    case 2: return Skin.Analog.Height();
    default: return 0;
  }
}

int TFace::CentreIn(const QString& text, int width) const { return (width - TextWidth(font_, text)) / 2; }

void TFace::SetFont(const char* name, int height, bool bold, TColor color, bool noAntialias) {
  font_.Name = QString::fromUtf8(name);
  font_.Height = height;
  font_.Bold = bold;
  font_.Color = color;
  font_.NoAntialias = noAntialias;
}

void TFace::Text(int x, int y, const QString& text, TColor outline) {
  EffectTextOut(kEffectOutline, x, y, text, font_, outline, BackBuffer.Image());
}

bool TFace::RefreshFace() { return RefreshFace(orv_.CurrentTime()); }

bool TFace::RefreshFace(TDateTime now) {
  const int cw = CellWidth(), ch = CellHeight();
  const int32_t servers = std::max(orv_.ServerCount, 0);
  if (FaceMinuteCache.size() < static_cast<size_t>(servers) + 1) FaceMinuteCache.resize(static_cast<size_t>(servers) + 1, -1);
  const int32_t fs = settings_.FServer;
  const bool single = (fs >= 0 && fs < servers) || fs == 999;
  const int n = (single ? 1 : servers) + (settings_.RealClockEnabled ? 1 : 0) + (settings_.ChaosClockEnabled ? 1 : 0);
  const bool vertical = settings_.Rotate != 0;
  if (vertical)
    BackBuffer.SetSize(cw, n * ch);
  else
    BackBuffer.SetSize(n * cw, ch);

  const int step = vertical ? ch : cw;
  auto x = [&](int d) { return vertical ? 0 : d; };
  auto y = [&](int d) { return vertical ? d : 0; };
  bool drawn = false;
  int d = 0;
  if (single) {
    const int32_t server = fs == 999 ? SelectedGameServer() : fs;
    const int32_t m = orv_.GameSecondsOfWeek(server, now) / 60;
    if (m != FaceMinuteCache[1]) {
      DrawFaceCell(server, 0, 0, now);
      FaceMinuteCache[1] = m;
      drawn = true;
    }
    d = step;
  } else {
    for (int32_t i = 0; i < servers; ++i) {
      const int32_t m = orv_.GameSecondsOfWeek(i, now) / 60;
      if (m != FaceMinuteCache[static_cast<size_t>(i) + 1]) {
        DrawFaceCell(i, x(d), y(d), now);
        FaceMinuteCache[static_cast<size_t>(i) + 1] = m;
        drawn = true;
      }
      d += step;
    }
  }
  const int32_t second = DecodeDateTime(now).second;
  if (second != FaceMinuteCache[0]) {
    drawn = true;
    if (settings_.RealClockEnabled) {
      DrawFaceCell(kRealClockCell, x(d), y(d), now);
      d += step;
    }
    if (settings_.ChaosClockEnabled) DrawFaceCell(kChaosCell, x(d), y(d), now);
    FaceMinuteCache[0] = second;
  }
  return drawn;
}

void TFace::DrawIcons(int32_t cell, int x, int y, int ch) {
  const bool mini = settings_.FMode == 1;
  auto put = [&](const TABitmap& icon, int left) {
    if (!icon.Empty()) icon.CopyRectKeyed(left, y + ch - icon.Height(), icon.Width(), icon.Height(), 0, 0, BackBuffer, kKeyColor);
  };
  if (cell == kRealClockCell) {
    const TABitmap& timer = mini ? Icons.TimerMD : Icons.Timer;
    int left = x;
    if (TimerActive()) {
      put(timer, x);
      left = x + timer.Width();
    }
    if (settings_.ChaosAlarmEnabled) put(mini ? Icons.ChaosAlarmMD : Icons.ChaosAlarm, left);
    return;
  }
  if (cell == kChaosCell) return;
  const int32_t selected = SelectedGameServer();
  for (const AList& alarm : settings_.AlarmList) {
    if (!alarm.ActiveSW) continue;
    if (alarm.Server == cell || (alarm.Server == orv_.ServerCount && selected == cell) || settings_.FServer == 999) {
      put(mini ? Icons.BellMD : Icons.Bell, x);
      break;  // one bell says it; more would draw the same pixels
    }
  }
}

QString TFace::ServerInitial(int32_t cell) const {
  const std::vector<std::string> chars = SplitUtf8Chars(orv_.ServerName(cell));
  return chars.empty() ? QString() : QString::fromStdString(chars.front());
}

void TFace::DrawFaceCell(int32_t cell, int X, int Y, TDateTime now) {
  ++CellDraws;
  int hour = 0, minute = 0, weekday = 0;
  if (cell == kRealClockCell) {
    const DateTimeParts p = DecodeDateTime(now);
    hour = p.hour;
    minute = p.minute;
    weekday = DayOfWeek(now) - 1;
  } else if (cell == kChaosCell) {
    const int32_t p = orv_.ChaosPhase(now);
    hour = p >= 1 && p <= 3 ? 0 : 9;
  } else {
    int32_t s = orv_.GameSecondsOfWeek(cell, now);
    if (s < 0 || s >= kGameWeekSeconds) s = 0;
    minute = s / 60 % 60;
    hour = s / 3600 % 24;
    weekday = s / 86400 % 7;
  }
  weekday = std::clamp(weekday, 0, 6);
  const int mode = settings_.FMode;
  const int ch = CellHeight();

  switch (mode) {
    case 0: {
      const TABitmap& bg = Skin.Backgrounds[static_cast<size_t>(BackgroundIndex(hour))];
      if (settings_.Skeleton)
        FillRect(BackBuffer, X, Y, bg.Width(), bg.Height(), kKeyColor);
      else
        DrawOpaque(BackBuffer, X, Y, bg);
      break;
    }
    case 1:
      if (settings_.Skeleton)
        FillRect(BackBuffer, X, Y, Skin.MiniBackground.Width(), Skin.MiniBackground.Height(), kKeyColor);
      else
        DrawOpaque(BackBuffer, X, Y, Skin.MiniBackground);
      break;
    case 2:
      if (cell == kChaosCell)
        FillRect(BackBuffer, X, Y, Skin.Analog.Width(), Skin.Analog.Height(), kKeyColor);
      else
        DrawOpaque(BackBuffer, X, Y, Skin.Analog);
      break;
    default:
      break;
  }
  DrawIcons(cell, X, Y, ch);

  if (cell == kChaosCell) {
    DrawChaosCell(X, Y, now);
    return;
  }
  const bool real = cell == kRealClockCell;
  const bool troubled = !real && (MaintenanceState() != 0 || IsServerDown(cell));
  const QString day = U(real ? kRealWeekdayShort[weekday] : kOrvWeekdayShort[weekday]);
  if (mode == 0) {
    const TColor w = troubled ? Rgb(160, 0, 0) : kBlack;
    const QString name = real ? U("Earth") : QString::fromStdString(orv_.ServerName(cell));
    SetFont(kLucida, 12, true, Rgb(0, 40, 80));
    Text(X + CentreIn(name, 80), Y + 2, name, kWhite);
    SetFont(kPGothic, 12, true, w);
    Text(X + 3, Y + 16, day, kWhite);
    SetFont("7barSPBd", 24, false, w);
    Text(X + 17, Y + 16, PadNumber(QLatin1Char(' '), hour, 2) + QLatin1Char(':') + PadNumber(QLatin1Char('0'), minute, 2), kWhite);
  } else if (mode == 1) {
    const TColor m = troubled ? Rgb(255, 128, 128) : kWhite;
    SetFont(kTahoma, 17, true, Rgb(192, 224, 255));
    Text(X + 6, Y + 1, real ? U(" ") : ServerInitial(cell), kBlack);
    SetFont(kUiGothic, 13, true, m);
    Text(X + 19, Y + 3, day, kBlack);
    SetFont(kTahoma, 17, true, m);
    Text(X + 36, Y + 1, PadNumber(QLatin1Char('0'), hour, 2) + QLatin1Char(':') + PadNumber(QLatin1Char('0'), minute, 2), kBlack);
  } else if (mode == 2) {
    DrawAnalogCell(cell, X, Y, hour, minute, weekday, now);
  }
}

void TFace::DrawChaosCell(int X, int Y, TDateTime now) {
  const int32_t P = Phase(orv_.ChaosPhase(now));
  const TDateTime T = orv_.NextChaosBoundary(P, now);
  const int64_t S = std::max<int64_t>(UnixSeconds(T) - UnixSeconds(now), 0);
  const int64_t d = S / 86400, h = S / 3600 % 24, m = S / 60 % 60;
  const TColor C = ChaosCountdownColor(P, S);
  switch (settings_.FMode) {
    case 0: {
      SetFont(kLucida, 12, true, Rgb(80, 40, 0));
      Text(X + CentreIn(U("Chaos"), 80), Y + 2, U("Chaos"), kWhite);
      SetFont(kPGothic, 11, false, kBlack);
      Text(X + CentreIn(U(kChaosNextLabels[P]), 80), Y + 14, U(kChaosNextLabels[P]), kWhite);
      SetFont(kPGothic, 12, true, C);
      const QString t = ChaosCountdownText(S);
      Text(X + CentreIn(t, 80), Y + 26, t, kWhite);
      break;
    }
    case 1: {
      static constexpr TColor kN[4] = {Rgb(200, 200, 200), Rgb(255, 255, 200), Rgb(255, 200, 255), Rgb(255, 200, 200)};
      SetFont(kUiGothic, 13, true, kN[P]);
      Text(X + 2, Y + 3, U(kChaosPhaseShort[P]), kBlack);
      SetFont(kTahoma, 16, true, kN[P]);
      Text(X + 20, Y + 1, ChaosCountdownTextMini(S), kBlack);
      break;
    }
    case 2: {
      SetFont(kLucida, 12, true, Rgb(80, 40, 0));
      Text(X + CentreIn(U("Chaos"), 80), Y + 2, U("Chaos"), kWhite);
      SetFont(kPGothic, 11, false, kBlack);
      const QString lines[3] = {U("ただいま"), U(kChaosPhaseNames[P]), U(kChaosNextLabels[P])};
      const int ys[3] = {18, 32, 50};
      for (int i = 0; i < 3; ++i) Text(X + CentreIn(lines[i], 80), Y + ys[i], lines[i], kWhite);
      SetFont(kPGothic, d >= 1 ? 12 : h >= 1 ? 13 : m >= 1 ? 15 : 16, true, C);
      const QString t = ChaosCountdownText(S);
      Text(X + CentreIn(t, 80), Y + 64, t, kWhite);
      break;
    }
    default:
      break;
  }
}

void TFace::DrawAnalogCell(int32_t cell, int X, int Y, int hour, int minute, int weekday, TDateTime) {
  const bool real = cell == kRealClockCell;
  const int M = Skin.AntiAlias ? 2 : 1;

  // Corner texts: the server's initial in full width, the weekday.
  SetFont(kPGothic, 13, true, Rgb(0, 40, 80));
  QString initial;
  if (!real) {
    std::string first;
    Utf8ToCp932(ServerInitial(cell).toStdString(), first);
    initial = QString::fromStdString(Cp932ToUtf8(ToFullWidth(first)));
  }
  Text(X + 2, Y + 2, initial, kWhite);
  font_.Color = Rgb(0, 80, 40);
  Text(X + 65, Y + 2, U(real ? kRealWeekdayShort[weekday] : kOrvWeekdayShort[weekday]), kWhite);

  // The dial with its corner texts and icons, at the drawing scale.
  scratch_.SetSize(80, 80);
  scratch_.Image().fill(0xFF000000u);
  for (int j = 0; j < 80; ++j) {
    if (Y + j < 0 || Y + j >= BackBuffer.Height()) continue;
    const int x0 = std::max(X, 0), x1 = std::min(X + 80, BackBuffer.Width());
    if (x1 > x0) std::copy(BackBuffer.ScanLine(Y + j) + x0, BackBuffer.ScanLine(Y + j) + x1, scratch_.ScanLine(j) + (x0 - X));
  }
  work_.SetSize(80 * M, 80 * M);
  for (int j = 0; j < 80 * M; ++j) {
    const uint32_t* src = scratch_.ScanLine(j / M);
    uint32_t* dst = work_.ScanLine(j);
    for (int i = 0; i < 80 * M; ++i) dst[i] = src[i / M];
  }

  // AM or PM in the middle of the lower half.
  TFont ampm;
  ampm.Name = QStringLiteral("Verdana");
  ampm.Height = -11 * M;
  ampm.Color = Skin.AnalogAmPm;
  ampm.NoAntialias = true;
  font_ = ampm;
  const QString mark = hour < 12 ? U("AM") : U("PM");
  EffectTextOut(Skin.AnalogAmPm == Skin.AnalogAmPmOutline ? kEffectDoubleStrike : kEffectOutline,
                (80 * M - TextWidth(ampm, mark)) / 2, 46 * M, mark, ampm, Skin.AnalogAmPmOutline, work_.Image());

  // The hands: narrow diamonds with a tail of 4 and a shadow below.
  const double c = 39.5 * M;
  auto P = [&](double r, double deg) {
    // Whole quarter turns give exact 0 and 1, so a half pixel rounds to even the same way at
    // 3:00 and at 15:00.
    deg = std::fmod(deg, 360.0);
    if (deg < 0) deg += 360.0;
    double cs, sn;
    if (deg == 0) cs = 1, sn = 0;
    else if (deg == 90) cs = 0, sn = 1;
    else if (deg == 180) cs = -1, sn = 0;
    else if (deg == 270) cs = 0, sn = -1;
    else cs = std::cos(deg * M_PI / 180.0), sn = std::sin(deg * M_PI / 180.0);
    return QPoint(static_cast<int>(std::nearbyint(cs * r * M + c)), static_cast<int>(std::nearbyint(sn * r * M + c)));
  };
  auto hand = [&](double length, double deg) {
    QPolygon poly;
    poly << P(length, deg) << P(1, deg + 90) << P(4, deg + 180) << P(1, deg - 90);
    return poly;
  };
  const double hourAngle = (hour * 60 + minute) / 720.0 * 360.0 - 90.0;
  const double minuteAngle = (minute * 60) / 3600.0 * 360.0 - 90.0;
  const QPolygon hourHand = hand(15, hourAngle), minuteHand = hand(25, minuteAngle);
  {
    QPainter p(&work_.Image());
    p.setRenderHint(QPainter::Antialiasing, false);
    p.translate(0.5, 0.5);  // integer points name pixels, as the hands' arithmetic means
    auto draw = [&](const QPolygon& poly, TColor pen, int width, TColor brush) {
      p.setPen(QPen(ToQColor(pen), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.setBrush(ToQColor(brush));
      p.drawPolygon(poly);
    };
    draw(hourHand.translated(1, 1), Skin.AnalogShadow, 2 * M, Skin.AnalogShadow);
    draw(hourHand, Skin.AnalogAllow, M, Skin.AnalogAllow);
    draw(minuteHand.translated(M, M), Skin.AnalogShadow, 2 * M, Skin.AnalogShadow);
    draw(minuteHand, Skin.AnalogHighlight, M, Skin.AnalogAllow);
  }
  if (Skin.AntiAlias) HalveBitmap(work_);
  DrawOpaque(BackBuffer, X, Y, work_);

  if (real) return;
  // The maintenance note, the one text with smooth edges: it sits on the dial.
  const int32_t state = MaintenanceState();
  QString note;
  if (state > 0)
    note = U("臨時メンテ中");
  else if (state < 0)
    note = U("定期メンテ中");
  else if (IsServerDown(cell))
    note = U("臨時メンテ？");
  if (note.isEmpty()) return;
  SetFont(kPGothic, 11, false, Rgb(255, 0, 0), false);
  Text(X + CentreIn(note, 80), Y + CellHeight() - TextHeight(font_, U("あ")), note, kWhite);
}

}  // namespace kw
