#include "skin/SkinText.h"

#include <algorithm>

#include "skin/Blend.h"

namespace {

std::string ExpandTabs(const std::string& text) {
  std::string out;
  int column = 0;
  for (char c : text) {
    if (c == '\t') {
      const int spaces = 8 - column % 8;
      out.append(static_cast<std::size_t>(spaces), ' ');
      column += spaces;
    } else {
      out.push_back(c);
      column = c == '\n' ? 0 : column + 1;
    }
  }
  return out;
}

// "&&" is an ampersand; a single "&" marks the next character, shown plainly.
std::string StripPrefixes(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    out.push_back(text[i]);
  }
  return out;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string current;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(current);
      current.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      current.push_back(c);
    }
  }
  lines.push_back(current);
  return lines;
}

// Greedy word wrap; a word wider than the line stays whole on its own line.
void WrapLine(TCanvas& canvas, const std::string& line, int width, std::vector<std::string>& out) {
  std::string current;
  std::size_t i = 0;
  bool any = false;
  while (i < line.size()) {
    std::size_t j = line.find(' ', i);
    if (j == std::string::npos) j = line.size();
    const std::string word = line.substr(i, j - i);
    std::string candidate = current;
    if (!candidate.empty()) candidate += ' ';
    candidate += word;
    if (!current.empty() && canvas.TextWidth(candidate) > width) {
      out.push_back(current);
      current = word;
    } else {
      current = candidate;
    }
    any = true;
    i = j + 1;
  }
  if (any || line.empty()) out.push_back(current);
}

std::string WithEllipsis(TCanvas& canvas, const std::string& line, int width) {
  if (canvas.TextWidth(line) <= width) return line;
  std::string cut = line;
  while (!cut.empty() && canvas.TextWidth(cut + "...") > width) cut.pop_back();
  return cut + "...";
}

}  // namespace

std::vector<TsTextLine> LayoutText(TCanvas& canvas, const std::string& text, const TRect& rect,
                                   unsigned flags) {
  std::string s = text;
  if ((flags & txExpandTabs) != 0) s = ExpandTabs(s);
  if ((flags & txNoPrefix) == 0) s = StripPrefixes(s);
  std::vector<std::string> lines;
  if ((flags & txSingleLine) != 0) {
    std::replace(s.begin(), s.end(), '\r', ' ');
    std::replace(s.begin(), s.end(), '\n', ' ');
    lines.push_back(s);
  } else {
    for (const std::string& line : SplitLines(s)) {
      if ((flags & txWordBreak) != 0) {
        WrapLine(canvas, line, rect.Width(), lines);
      } else {
        lines.push_back(line);
      }
    }
  }
  if ((flags & txEndEllipsis) != 0) {
    for (std::string& line : lines) line = WithEllipsis(canvas, line, rect.Width());
  }
  const int line_height = canvas.TextHeight("Wg");
  const int total = line_height * static_cast<int>(lines.size());
  int y = rect.Top;
  if ((flags & txVCenter) != 0) {
    y = rect.Top + (rect.Height() - total) / 2;
  } else if ((flags & txBottom) != 0) {
    y = rect.Bottom - total;
  }
  std::vector<TsTextLine> out;
  for (const std::string& line : lines) {
    const int w = canvas.TextWidth(line);
    int x = rect.Left;
    if ((flags & txCenter) != 0) {
      x = rect.Left + (rect.Width() - w) / 2;
    } else if ((flags & txRight) != 0) {
      x = rect.Right - w;
    }
    out.push_back({line, x, y});
    y += line_height;
  }
  return out;
}

void DrawContourText(TCanvas& canvas, const std::string& text, const TRect& rect, unsigned flags,
                     const TsTextColors& colors, bool enabled, bool custom_font,
                     TColor global_color) {
  if (text.empty() || rect.IsEmpty()) return;
  TFont& font = canvas.Font();
  const TColor own = font.Color();
  const TBrushStyle style = canvas.Brush().Style();
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  const std::vector<TsTextLine> lines = LayoutText(canvas, text, rect, flags);
  auto draw = [&](int dx, int dy) {
    for (const TsTextLine& line : lines) canvas.TextRect(rect, line.x + dx, line.y + dy, line.text);
  };
  if (!enabled) {
    const TColor text_color = custom_font ? own : colors[0];
    font.SetColor(ColorMix(ColorToRGB(text_color), ColorToRGB(global_color), 4, 10));
    draw(0, 0);
  } else if (custom_font) {
    draw(0, 0);
  } else {
    static constexpr int kShift[4][2] = {{-1, 0}, {0, -1}, {1, 0}, {0, 1}};
    for (int side = 0; side < 4; ++side) {
      if (colors[static_cast<std::size_t>(side) + 1] == -1) continue;
      font.SetColor(colors[static_cast<std::size_t>(side) + 1]);
      draw(kShift[side][0], kShift[side][1]);
    }
    font.SetColor(colors[0]);
    draw(0, 0);
  }
  font.SetColor(own);
  canvas.Brush().SetStyle(style);
}
