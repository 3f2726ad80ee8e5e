// Places and font sizes of the main window, in device-independent units: twips (1/1440 inch)
// for places, hundredths of a point for fonts. They become pixels only at the window's DPI.
#pragma once

namespace tav::ui {

struct TwipRect {
  int left;
  int top;
  int width;
  int height;
};

struct PixelRect {
  int left;
  int top;
  int width;
  int height;
};

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kPointsPerInch = 72;

inline constexpr int kClientWidthTwips = 2565;
inline constexpr int kClientHeightTwips = 2685;

inline constexpr TwipRect kText1Place{1200, 120, 1095, 495};
inline constexpr TwipRect kLabel1Place{240, 240, 855, 375};
inline constexpr TwipRect kText2Place{1200, 840, 1095, 495};
inline constexpr TwipRect kLabel3Place{240, 960, 855, 375};
inline constexpr TwipRect kCommand1Place{240, 2040, 855, 495};
inline constexpr TwipRect kCommand2Place{1560, 2040, 855, 495};
inline constexpr TwipRect kLabel2Place{240, 1560, 2175, 495};

inline constexpr int kBoxFontCentipoints = 1425;      // the two extension boxes
inline constexpr int kCaptionFontCentipoints = 1050;  // Label1, Label3 and the buttons

// Rounds to the nearest pixel; values are never negative.
constexpr int TwipsToPixels(int twips, unsigned dpi) {
  return static_cast<int>((static_cast<long long>(twips) * dpi + kTwipsPerInch / 2) /
                          kTwipsPerInch);
}

// Both edges are rounded, so neighbouring controls never gain or lose a gap between them.
constexpr PixelRect ToPixels(TwipRect place, unsigned dpi) {
  const int left = TwipsToPixels(place.left, dpi);
  const int top = TwipsToPixels(place.top, dpi);
  return {left, top, TwipsToPixels(place.left + place.width, dpi) - left,
          TwipsToPixels(place.top + place.height, dpi) - top};
}

// The height of a font in pixels (as the negative LOGFONT height, which means the character
// height without internal leading).
constexpr int FontHeightPixels(int centipoints, unsigned dpi) {
  const long long scaled = static_cast<long long>(centipoints) * dpi;
  const long long perInch = kPointsPerInch * 100LL;
  return -static_cast<int>((scaled + perInch / 2) / perInch);
}

static_assert(TwipsToPixels(kClientWidthTwips, 96) == 171);
static_assert(TwipsToPixels(kClientHeightTwips, 96) == 179);
static_assert(FontHeightPixels(kBoxFontCentipoints, 96) == -19);
static_assert(FontHeightPixels(kCaptionFontCentipoints, 96) == -14);

}  // namespace tav::ui
