// TGrScope: a scrolling strip chart. On every tick of its own timer it asks
// its owner for one value per channel, clamps it into MinValue..MaxValue,
// prepends it to the channel's bounded history and redraws: a solid
// background, a grid whose vertical lines scroll with the data, a base line
// at BaseOffset percent of the height and one trace per visible channel.
// Where the screen shows the picture of the tick before and nothing else
// changed, the redraw moves that picture by Frequency pixels and paints only
// the strip where the sample comes in: the same pixels, far fewer drawn and
// sent to the display.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scope/GrGraphicControl.h"
#include "scope/GrTimer.h"

// Range of MinValue and MaxValue: every history record is ten characters.
inline constexpr int kGrScopeIntMin = -999999999;
inline constexpr int kGrScopeIntMax = 999999999;
// Width of one history record.
inline constexpr int kGrRecordLength = 10;

enum class TGraphStyle { gsLine, gsBar };
enum class TScrolldirection { sdRightToLeft, sdLeftToRight };

class TGrScope;
class TGrChannels;

// Sender, channel index, value (written by the handler).
using TGrNeedDataEvent = TEvent<TObject*, int, int&>;

class TGrChannel : public TObject {
 public:
  explicit TGrChannel(TGrChannels* collection);

  TColor Color() const { return color_; }
  void SetColor(TColor value);
  int Width() const { return width_; }
  void SetWidth(int value);
  TGraphStyle Style() const { return style_; }
  void SetStyle(TGraphStyle value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);

  // Newest record first; read when the trace is drawn.
  const std::string& History() const { return history_; }
  // Prepends `value` as one record and keeps at most `buffer_size` records.
  void AddSample(int value, int buffer_size);
  void ClearHistory() { history_.clear(); }

  // Copies Color, Width and Style (one redraw); anything but a channel is
  // refused with EConvertError.
  void Assign(const TObject* source);

  TGrChannels* Collection() const { return collection_; }
  int Index() const;

 private:
  void Changed();

  TGrChannels* const collection_;
  TColor color_ = clYellow;
  int width_ = 1;
  TGraphStyle style_ = TGraphStyle::gsLine;
  std::string history_;
  bool visible_ = true;
};

// Formats one history record (the value must lie in kGrScopeIntMin..Max).
std::string FormatGrRecord(int value);
// Reads the record at the front of `text` and removes it.
int PopGrRecord(std::string_view& text);

class TGrChannels : public TObject {
 public:
  explicit TGrChannels(TGrScope* scope);
  ~TGrChannels() override;

  TGrScope* Owner() const { return scope_; }
  int Count() const { return static_cast<int>(items_.size()); }
  TGrChannel* Items(int index) const;
  TGrChannel* operator[](int index) const { return Items(index); }

  TGrChannel* Add();
  void Delete(int index);
  void Clear();
  // Replaces the channels by copies of `source`'s (one redraw at the end).
  void Assign(const TGrChannels& source);

  // Change reports inside the bracket are held until it closes.
  void BeginUpdate() { ++update_count_; }
  void EndUpdate();
  int UpdateCount() const { return update_count_; }

 private:
  friend class TGrChannel;
  void Changed();

  TGrScope* const scope_;
  std::vector<std::unique_ptr<TGrChannel>> items_;
  int update_count_ = 0;
};

class TGrScope : public TGrGraphicImageControl {
 public:
  explicit TGrScope(TComponent* owner);
  ~TGrScope() override;
  // A picture to assistive technology, named for what it shows.
  TAccessibleRole AccessibleRole() const override { return TAccessibleRole::arGraphic; }

  bool AutoUpdate() const { return auto_update_; }
  void SetAutoUpdate(bool value);
  int Interval() const;
  void SetInterval(int value);
  bool AnimateGrid() const { return animate_grid_; }
  void SetAnimateGrid(bool value) { animate_grid_ = value; }
  int MaxValue() const { return max_value_; }
  void SetMaxValue(int value);
  int MinValue() const { return min_value_; }
  void SetMinValue(int value);
  TGrChannels& Channels() { return *channels_; }
  void SetChannels(const TGrChannels& value);
  TScrolldirection Direction() const { return direction_; }
  void SetDirection(TScrolldirection value);
  int GridSize() const { return grid_size_; }
  void SetGridSize(int value);
  int GridLineWidth() const { return grid_line_width_; }
  void SetGridLineWidth(int value);
  TColor GridColor() const { return grid_color_; }
  void SetGridColor(TColor value);
  int BaseOffset() const { return base_offset_; }
  void SetBaseOffset(int value);
  TColor BaseColor() const { return base_color_; }
  void SetBaseColor(TColor value);
  int Frequency() const { return frequency_; }
  void SetFrequency(int value);
  int BufferSize() const { return buffer_size_; }
  void SetBufferSize(int value) { buffer_size_ = value; }
  bool Threaded() const;
  void SetThreaded(bool value);
  bool Active() const { return active_; }
  void SetActive(bool value);
  const TGrNeedDataEvent& OnNeedData() const { return on_need_data_; }
  void SetOnNeedData(TGrNeedDataEvent value) { on_need_data_ = std::move(value); }

  void ClearHistory();
  // One sampling tick (the timer's OnTimer): moves the grid, samples every
  // channel and redraws.
  void TimerTick(TObject* sender);

  int GridPhase() const { return grid_phase_; }
  int BaseRow() const { return base_row_; }
  bool Painting() const { return painting_; }
  TGrTimer& Timer() { return *timer_; }

 protected:
  void Paint() override;

 private:
  // What a picture is drawn from: the settings, and of each history the
  // records that can reach the picture and the one after them (which tells
  // whether the trace ends on it).
  struct TPicture {
    struct TTrace {
      bool visible = false;
      TColor color = 0;
      int width = 0;
      TGraphStyle style = TGraphStyle::gsLine;
      std::string head;
      bool operator==(const TTrace&) const = default;
    };
    int width = 0, height = 0;
    TColor color = 0;
    bool transparent = false;
    int grid_size = 0, grid_line_width = 0, grid_phase = 0;
    TColor grid_color = 0;
    int base_offset = 0;
    TColor base_color = 0;
    int frequency = 0;
    TScrolldirection direction = TScrolldirection::sdRightToLeft;
    int min_value = 0, max_value = 0;
    std::vector<TTrace> traces;
    bool operator==(const TPicture&) const = default;
  };
  TPicture Picture() const;
  // How many history records can reach a picture of this width.
  int RecordsOnPicture() const;
  int NextGridPhase(int phase) const;
  // Whether `now` is `before` one tick on, drawn alike: the picture then is
  // the one before moved by Frequency pixels, but for a strip at the side
  // where samples come in.
  bool OneTickOn(const TPicture& before, const TPicture& now) const;
  // The tick's redraw by moving what the screen shows; false where it must
  // be drawn whole.
  bool MoveOnScreen();
  void DrawPicture();
  void DrawGrid();
  void DrawChannels();
  int PopSampleRow(std::string_view& text) const;
  void ApplyTimerEnabled();

  std::unique_ptr<TGrTimer> timer_;
  std::unique_ptr<TGrChannels> channels_;
  bool auto_update_ = true;
  bool animate_grid_ = true;
  int max_value_ = 100;
  int min_value_ = 0;
  TScrolldirection direction_ = TScrolldirection::sdRightToLeft;
  int grid_size_ = 16;
  int grid_line_width_ = 1;
  TColor grid_color_ = 0x008000;
  int base_offset_ = 50;
  TColor base_color_ = 0x00FF00;
  int frequency_ = 1;
  int buffer_size_ = 999;
  bool active_ = false;
  TGrNeedDataEvent on_need_data_;
  int grid_phase_ = 0;
  int base_row_ = 0;
  bool painting_ = false;
  // The picture the screen shows, where it is known to show one whole.
  std::optional<TPicture> shown_;
  // The image already holds the picture: a paint only shows it.
  bool image_ready_ = false;
};
