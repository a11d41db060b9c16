// Contact sheet of the internal skin "Steam (internal)": a mock of the main
// window composed the way the skinned controls compose their caches (form
// frame, caption bar, panels, inputs, the log with its scroll bar, the
// buttons in their three states), and beside it every section the program
// paints, at the sizes the main window uses, in states 0, 1 and 2 over the
// panel's look.
//
//   sonarix_paintsheet OUT.png [SCALE]
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/SystemMetrics.h"
#include "skin/MemIniFile.h"
#include "skin/SkinPainter.h"
#include "skin/SteamSkin.h"
#include "skin/sSkinArchive.h"
#include "toolkit/Graphics.h"

namespace {

// The desktop's metrics the main window is laid out against.
const int kFrame = platform::GetSystemMetrics(platform::SM_CXFRAME);
const int kCaption = platform::GetSystemMetrics(platform::SM_CYCAPTION);
const int kScrollBar = platform::GetSystemMetrics(platform::SM_CXVSCROLL);
constexpr TColor kDesktop = 0x6D5A3A;

class TSheet {
 public:
  TSheet() {
    archive_.LoadFromMemory(kSteamSkinData, kSteamSkinDataSize, nullptr);
    ini_.SetText(std::string(archive_.Options().begin(), archive_.Options().end()));
    TsModelSource source;
    source.Options = &ini_;
    source.Archive = &archive_;
    model_.Build(source);
  }

  const TsSkinModel& Model() const { return model_; }
  int Section(const std::string& name) const { return model_.SectionIndex(name); }
  int Mask(const std::string& section, const std::string& key) const {
    return model_.MaskIndex(Section(section), section, key);
  }

  // The item painter: background over what lies behind, then the border.
  void Item(TBitmap& cache, const TRect& rect, const std::string& section, int state, bool filling,
            const TsBackground& back) const {
    TsSectionRequest r;
    r.section = Section(section);
    r.state = state;
    PaintSectionBackground(cache, rect, model_, r, back);
    DrawSkinBorder(cache, rect, model_, Mask(section, "BORDERSMASK"), state, filling, back);
  }

  void Glyph(TBitmap& cache, const TRect& area, const std::string& section, const std::string& key,
             int state) const {
    const int mask = Mask(section, key);
    const TPoint size = model_.MaskFrameSize(mask);
    if (mask < 0) return;
    DrawSkinGlyph(
        cache, {area.Left + (area.Width() - size.X) / 2, area.Top + (area.Height() - size.Y) / 2},
        model_, mask, state);
  }

  void Text(TBitmap& cache, const std::string& text, const TRect& rect, unsigned flags,
            const std::string& section, bool hot, bool enabled = true) const {
    DrawSkinText(cache.Canvas(), text, rect, flags, model_, Section(section), hot, enabled, false);
  }

  void Plain(TBitmap& cache, const std::string& text, int x, int y, TColor color,
             bool bold = false) const {
    TCanvas& c = cache.Canvas();
    c.Font().SetColor(color);
    c.Font().SetStyle(bold ? fsBold : 0);
    c.Brush().SetStyle(TBrushStyle::bsClear);
    c.TextOut(x, y, text);
    c.Font().SetStyle(0);
  }

 private:
  TsSkinArchive archive_;
  TMemIniFile ini_;
  TsSkinModel model_;
};

// A child control: its own cache of its size, painted over the parent's
// cache, then copied into it.
template <class Paint>
void Child(TBitmap& parent, const TRect& bounds, Paint paint) {
  TBitmap cache(bounds.Width(), bounds.Height());
  const TsBackground back =
      TsBackground::FromBitmap(SourcePixelsOf(parent), bounds.Left, bounds.Top);
  paint(cache, back);
  CopyPixels(PixelsOf(parent), {bounds.Left, bounds.Top}, SourcePixelsOf(cache),
             Rect(0, 0, bounds.Width(), bounds.Height()));
}

void VerticalScrollBar(const TSheet& s, TBitmap& cache, const TRect& bar, int slider_top,
                       int slider_len, int hot_part, const TsBackground& back) {
  const int b = kScrollBar;
  const int mid = slider_top + slider_len / 2;
  auto back_at = [&](const TRect& r) {
    return TsBackground::FromBitmap(back.bitmap, back.offset_x + r.Left, back.offset_y + r.Top);
  };
  const TRect track1{bar.Left, bar.Top + b, bar.Right, mid};
  const TRect track2{bar.Left, mid, bar.Right, bar.Bottom - b};
  s.Item(cache, track1, "SCROLLBAR1V", 0, true, back_at(track1));
  s.Item(cache, track2, "SCROLLBAR2V", 0, true, back_at(track2));
  const TRect up{bar.Left, bar.Top, bar.Right, bar.Top + b};
  const TRect down{bar.Left, bar.Bottom - b, bar.Right, bar.Bottom};
  s.Item(cache, up, "SCROLLBTNTOP", hot_part == 1 ? 1 : 0, true, back_at(up));
  s.Glyph(cache, up, "SCROLLBTNTOP", "GLYPHMASK", hot_part == 1 ? 1 : 0);
  s.Item(cache, down, "SCROLLBTNBOTTOM", hot_part == 2 ? 2 : 0, true, back_at(down));
  s.Glyph(cache, down, "SCROLLBTNBOTTOM", "GLYPHMASK", hot_part == 2 ? 2 : 0);
  const TRect slider{bar.Left, slider_top, bar.Right, slider_top + slider_len};
  s.Item(cache, slider, "SCROLLSLIDERV", hot_part == 3 ? 1 : 0, true, back_at(slider));
  s.Glyph(cache, slider, "SCROLLSLIDERV", "GLYPHMASK", hot_part == 3 ? 1 : 0);
}

// The main window at its start size.
void MainWindow(const TSheet& s, TBitmap& sheet, TPoint at) {
  const int w = 431 + 2 * kFrame, h = 503 + kCaption + 2 * kFrame;
  TBitmap win(w, h);
  const TsBackground desktop = TsBackground::FromBitmap(SourcePixelsOf(sheet), at.X, at.Y);
  s.Item(win, Rect(0, 0, w, h), "FORM", 1, true, desktop);
  // The caption bar shows the frame behind it, then its own border.
  s.Item(win, Rect(0, 0, w, kCaption + kFrame), "FORMTITLE", 1, true,
         TsBackground::FromBitmap(SourcePixelsOf(win), 0, 0));
  int x = w - kFrame;
  for (const char* key : {"BICONCLOSE", "BICONMAX", "BICONMIN"}) {
    const int mask = s.Model().MaskIndex(s.Section("GLOBALINFO"), "GLOBALINFO", key);
    const TPoint size = s.Model().MaskFrameSize(mask);
    x -= size.X;
    const int top = (kCaption + kFrame - size.Y) / 2 + (size.Y < 16 ? 2 : 0);
    DrawSkinGlyph(win, {x, top}, s.Model(), mask, std::string(key) == "BICONCLOSE" ? 1 : 0);
  }
  win.Canvas().Font().SetStyle(fsBold);
  s.Text(win, "Sonarix 1.0", Rect(kFrame + 4 + 16, kFrame, x - 6, kCaption + kFrame),
         txSingleLine | txVCenter | txEndEllipsis | txNoPrefix, "FORMTITLE", true);
  win.Canvas().Font().SetStyle(0);

  const int cx = kFrame, cy = kFrame + kCaption;
  struct TPanel {
    int top, height;
  };
  const TPanel panels[4] = {{0, 73}, {73, 263}, {336, 100}, {436, 67}};
  for (int p = 0; p < 4; ++p) {
    const TRect pr = Bounds(cx, cy + panels[p].top, 431, panels[p].height);
    Child(win, pr, [&](TBitmap& panel, const TsBackground& back) {
      s.Item(panel, Rect(0, 0, pr.Width(), pr.Height()), "PANEL", 0, false, back);
      if (p == 0) {
        struct TInput {
          const char* label;
          bool left;
          TRect r;
          const char* text;
        };
        const TInput inputs[6] = {{"Target Address:", true, Bounds(86, 6, 205, 21), "127.0.0.1"},
                                  {"Count:", true, Bounds(338, 6, 82, 21), "3"},
                                  {"Size:", false, Bounds(7, 44, 76, 21), "56 Byte"},
                                  {"Time Out:", false, Bounds(107, 44, 84, 21), "4000 ms"},
                                  {"TTL:", false, Bounds(217, 44, 83, 21), "64 hops"},
                                  {"Treshhold:", false, Bounds(329, 44, 91, 21), "10 msec"}};
        for (int i = 0; i < 6; ++i) {
          const TInput& in = inputs[i];
          const bool edit = i == 0;
          Child(panel, in.r, [&](TBitmap& c, const TsBackground& b) {
            const int cw = in.r.Width(), ch = in.r.Height();
            s.Item(c, Rect(0, 0, cw, ch), edit ? "EDIT" : "COMBOBOX", edit ? 1 : 0, true, b);
            c.Canvas().Font().SetColor(0xD2D2D2);
            c.Canvas().Brush().SetStyle(TBrushStyle::bsClear);
            c.Canvas().TextRect(Rect(3, 3, cw - 3, ch - 3), 4, 4, in.text);
            if (!edit) {
              const TRect button{cw - kScrollBar - 3, 2, cw - 3, ch - 2};
              s.Glyph(c, Rect(button.Left, 0, button.Right, ch), "COMBOBOX", "GLYPHMASK",
                      i == 2 ? 1 : 0);
            }
          });
          const int tw = panel.Canvas().TextWidth(in.label);
          if (in.left) {
            s.Plain(panel, in.label, in.r.Left - tw - 4, in.r.Top + 4, 0xB1B1B1);
          } else {
            s.Plain(panel, in.label, in.r.Left, in.r.Top - 15, 0xB1B1B1);
          }
        }
      } else if (p == 1) {
        Child(panel, Bounds(1, 1, 429, 261), [&](TBitmap& memo, const TsBackground& b) {
          s.Item(memo, Rect(0, 0, 429, 261), "EDIT", 0, true, b);
          const char* lines[] = {"Resolving 127.0.0.1 ...",
                                 "Host 127.0.0.1",
                                 "",
                                 "Request 1 sent to 127.0.0.1",
                                 "Reply from 127.0.0.1: bytes=56 time<1ms TTL=64",
                                 "Request 2 sent to 127.0.0.1",
                                 "Reply from 127.0.0.1: bytes=56 time<1ms TTL=64"};
          int y = 4;
          for (const char* line : lines) {
            memo.Canvas().Font().SetColor(0xD2D2D2);
            memo.Canvas().Brush().SetStyle(TBrushStyle::bsClear);
            memo.Canvas().TextOut(5, y, line);
            y += 13;
          }
          VerticalScrollBar(s, memo, Rect(429 - 2 - kScrollBar, 2, 429 - 2, 259), 80, 60, 3, b);
        });
      } else if (p == 2) {
        panel.Canvas().Font().SetColor(0x808080);
        s.Plain(panel, "(scope, drawn by itself)", 160, 42, 0x8A8A8A);
      } else {
        struct TButton {
          TRect r;
          const char* caption;
          int state;
          bool enabled;
        };
        const TButton buttons[6] = {{Bounds(7, 8, 65, 52), "Ping !", 0, true},
                                    {Bounds(76, 8, 65, 52), "Cancel", 1, true},
                                    {Bounds(145, 8, 65, 51), "Clear Log", 2, true},
                                    {Bounds(214, 8, 70, 51), "Save Log...", 0, true},
                                    {Bounds(288, 8, 65, 51), "About...", 0, false},
                                    {Bounds(357, 8, 65, 51), "Exit", 0, true}};
        for (const TButton& bt : buttons) {
          Child(panel, bt.r, [&](TBitmap& c, const TsBackground& b) {
            const TRect all = Rect(0, 0, bt.r.Width(), bt.r.Height());
            s.Item(c, all, "BUTTON", bt.state, false, b);
            const int shift = bt.state == 2 ? 1 : 0;
            s.Text(c, bt.caption, all.Offset(shift, shift), txCenter | txVCenter | txWordBreak,
                   "BUTTON", bt.state != 0, bt.enabled);
            if (!bt.enabled) PaintDisabledLook(PixelsOf(c), all, kDefaultDisabledKind, b);
          });
        }
      }
    });
  }
  CopyPixels(PixelsOf(sheet), at, SourcePixelsOf(win), Rect(0, 0, w, h));
}

// Each section at a main-window size, in states 0, 1 and 2, over the panel.
void SectionGrid(const TSheet& s, TBitmap& sheet, TPoint at) {
  struct TEntry {
    const char* section;
    int w, h;
    bool filling;
    const char* glyph;
  };
  const TEntry entries[] = {
      {"FORMTITLE", 150, kCaption + kFrame, true, nullptr},
      {"PANEL", 150, 73, false, nullptr},
      {"EDIT", 150, 21, true, nullptr},
      {"EDIT", 150, 8, true, nullptr},
      {"COMBOBOX", 82, 21, true, "GLYPHMASK"},
      {"BUTTON", 65, 52, false, nullptr},
      {"SCROLLBTNTOP", kScrollBar, kScrollBar, true, "GLYPHMASK"},
      {"SCROLLBTNBOTTOM", kScrollBar, kScrollBar, true, "GLYPHMASK"},
      {"SCROLLSLIDERV", kScrollBar, 60, true, "GLYPHMASK"},
      {"SCROLLBAR1V", kScrollBar, 40, true, nullptr},
      {"SCROLLBAR2V", kScrollBar, 40, true, nullptr},
      {"SCROLLBTNLEFT", kScrollBar, kScrollBar, true, "GLYPHMASK"},
      {"SCROLLBTNRIGHT", kScrollBar, kScrollBar, true, "GLYPHMASK"},
      {"SCROLLSLIDERH", 60, kScrollBar, true, "GLYPHMASK"},
      {"SCROLLBAR1H", 40, kScrollBar, true, nullptr},
      {"DIALOG", 150, 90, true, nullptr},
  };
  // The panel's look as the common background of the grid.
  const int gw = 3 * 160 + 130, gh = 820;
  TBitmap grid(gw, gh);
  TSheet const& sh = s;
  sh.Item(grid, Rect(0, 0, gw, gh), "PANEL", 0, false, TsBackground::FromColor(kDesktop));
  for (int state = 0; state < 3; ++state)
    sh.Plain(grid, "state " + std::to_string(state), 130 + state * 160, 6, 0xFFFFFF, true);
  int y = 26;
  for (const TEntry& e : entries) {
    sh.Plain(grid, e.section + std::string(" ") + std::to_string(e.w) + "x" + std::to_string(e.h),
             6, y, 0xE0E0E0);
    for (int state = 0; state < 3; ++state) {
      const TRect r = Bounds(130 + state * 160, y, e.w, e.h);
      Child(grid, r, [&](TBitmap& c, const TsBackground& b) {
        const TRect all = Rect(0, 0, e.w, e.h);
        sh.Item(c, all, e.section, state, e.filling, b);
        if (e.glyph != nullptr) {
          const TRect area = std::string(e.section) == "COMBOBOX"
                                 ? Rect(e.w - kScrollBar - 3, 0, e.w - 3, e.h)
                                 : all;
          sh.Glyph(c, area, e.section, e.glyph, state);
        }
        if (std::string(e.section) == "BUTTON") {
          sh.Text(c, "Ping !", all.Offset(state == 2, state == 2),
                  txCenter | txVCenter | txSingleLine, "BUTTON", state != 0);
        }
      });
    }
    y += e.h + 14;
  }
  CopyPixels(PixelsOf(sheet), at, SourcePixelsOf(grid), Rect(0, 0, gw, gh));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.png [SCALE]\n", argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  RegisterProgramFonts();
  const int scale = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
  TSheet s;
  if (s.Model().Sections().empty() || s.Model().MasterBitmap() == nullptr) {
    std::fprintf(stderr, "the internal skin did not load\n");
    return 1;
  }
  TBitmap sheet(439 + 40 + 610 + 20, 860);
  FillSolid(PixelsOf(sheet), Rect(0, 0, sheet.Width(), sheet.Height()), kDesktop);
  MainWindow(s, sheet, {20, 20});
  SectionGrid(s, sheet, {439 + 40, 20});
  QImage image = sheet.Image().convertToFormat(QImage::Format_RGB32);
  if (scale > 1) image = image.scaled(image.width() * scale, image.height() * scale);
  if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
