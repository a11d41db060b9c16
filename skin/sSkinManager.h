// The skin manager: owns the application's active skin, finds it (a packed
// ".lsz" file, an unpacked skin folder or a skin stored in the form data),
// builds the skin model from it and announces it to every form and control
// through the skin command message.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "skin/MemIniFile.h"
#include "skin/sConst.h"
#include "skin/sSkinArchive.h"
#include "skin/sSkinModel.h"
#include "toolkit/Classes.h"
#include "toolkit/Graphics.h"

class TControl;
class TCustomForm;
class TWinControl;
class TsSkinManager;

// --- stored skins ---------------------------------------------------------

// A stored section (the older way of keeping a skin in the form data). The
// font colours are texts of five numbers separated by blanks: the text colour
// and the contour colours left, top, right, bottom; any other count leaves
// the contours at -1.
class TsSkinGeneral {
 public:
  SectionRecord Record;
  void SetFontColor(const std::string& text);
  void SetHotFontColor(const std::string& text);
};

// A stored image piece; its fields are those of a mask record.
class TsSkinImage {
 public:
  MaskRecord Record;
};

class TsPatternImage {
 public:
  std::string SectionName;
  std::string PropertyName;
  std::shared_ptr<TBitmap> Image;
};

// A skin kept in the form data: normally its whole content is the packed
// archive in Data; the collections are used only when Data is empty.
class TsStoredSkin {
 public:
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  const std::vector<std::uint8_t>& Data() const { return data_; }
  void SetData(std::vector<std::uint8_t> data) { data_ = std::move(data); }
  void SetData(const std::uint8_t* data, std::size_t size) { data_.assign(data, data + size); }

  std::vector<TsSkinGeneral>& GeneralData() { return general_; }
  const std::vector<TsSkinGeneral>& GeneralData() const { return general_; }
  std::vector<TsSkinImage>& Images() { return images_; }
  const std::vector<TsSkinImage>& Images() const { return images_; }
  std::vector<TsPatternImage>& Patterns() { return patterns_; }
  const std::vector<TsPatternImage>& Patterns() const { return patterns_; }
  const std::shared_ptr<TBitmap>& MasterBitmap() const { return master_; }
  void SetMasterBitmap(std::shared_ptr<TBitmap> bitmap) { master_ = std::move(bitmap); }

  TColor Shadow1Color = 0;
  int Shadow1Offset = 0;
  int Shadow1Blur = -1;
  int Shadow1Transparency = 0;
  TColor BorderColor = clFuchsia;
  double Version = 0;
  std::string Author;
  std::string Description;

 private:
  std::string name_;
  std::vector<std::uint8_t> data_;
  std::vector<TsSkinGeneral> general_;
  std::vector<TsSkinImage> images_;
  std::vector<TsPatternImage> patterns_;
  std::shared_ptr<TBitmap> master_;
};

class TsStoredSkins {
 public:
  TsStoredSkin& Add();
  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  TsStoredSkin& Items(int index) { return *items_.at(static_cast<std::size_t>(index)); }
  const TsStoredSkin& Items(int index) const { return *items_.at(static_cast<std::size_t>(index)); }
  // The first item whose Name equals `name` exactly, or nullptr.
  TsStoredSkin* Find(const std::string& name);
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<TsStoredSkin>> items_;
};

// --- settings objects -----------------------------------------------------

class TsAnimEffect {
 public:
  explicit TsAnimEffect(int time = 0) : time_(time) {}
  bool Active() const { return active_; }
  void SetActive(bool active) { active_ = active; }
  int Time() const { return time_; }
  void SetTime(int time) { time_ = time; }

 private:
  bool active_ = false;
  int time_;
};

struct TsAnimEffects {
  TsAnimEffect Buttons;
  TsAnimEffect DialogShow{100};
  TsAnimEffect FormShow;
  TsAnimEffect PageChange;
  TsAnimEffect SkinChanging{100};
};

class TsMenuSupport {
 public:
  TsMenuSupport();
  const std::string& IcoLineSkin() const { return ico_line_skin_; }
  void SetIcoLineSkin(const std::string& value) { ico_line_skin_ = value; }
  bool UseExtraLine() const { return use_extra_line_; }
  void SetUseExtraLine(bool value) { use_extra_line_ = value; }
  int ExtraLineWidth() const { return extra_line_width_; }
  void SetExtraLineWidth(int value) { extra_line_width_ = value; }
  TFont& ExtraLineFont() { return extra_line_font_; }

 private:
  std::string ico_line_skin_;
  bool use_extra_line_ = false;
  int extra_line_width_ = 32;
  TFont extra_line_font_;
};

// Class names of foreign controls skinned by class, 17 lists kept by index.
enum TsThirdPartyIndex : int {
  tpEdits,
  tpButtons,
  tpBitBtns,
  tpCheckBoxes,
  tpComboBoxes,
  tpGrids,
  tpGroupBoxes,
  tpListViews,
  tpPanels,
  tpTreeViews,
  tpWWEdits,
  tpGridEh,
  tpVirtualTrees,
  tpPageControl,
  tpTabControl,
  tpToolBar,
  tpStatusBar,
  kThirdPartyCount
};

class TsThirdPartyList {
 public:
  // Each text is a list of class names separated by line breaks.
  std::string Text(int index) const;
  void SetText(int index, const std::string& text);
  const std::vector<std::string>& Names(int index) const {
    return lists_.at(static_cast<std::size_t>(index));
  }
  // Fills every empty list from the built-in defaults.
  void FillEmptyFromDefaults();
  // The built-in default text of list `index`.
  static std::string DefaultText(int index);

  std::string ThirdEdits() const { return Text(tpEdits); }
  void SetThirdEdits(const std::string& t) { SetText(tpEdits, t); }
  std::string ThirdButtons() const { return Text(tpButtons); }
  void SetThirdButtons(const std::string& t) { SetText(tpButtons, t); }
  std::string ThirdBitBtns() const { return Text(tpBitBtns); }
  void SetThirdBitBtns(const std::string& t) { SetText(tpBitBtns, t); }
  std::string ThirdCheckBoxes() const { return Text(tpCheckBoxes); }
  void SetThirdCheckBoxes(const std::string& t) { SetText(tpCheckBoxes, t); }
  std::string ThirdComboBoxes() const { return Text(tpComboBoxes); }
  void SetThirdComboBoxes(const std::string& t) { SetText(tpComboBoxes, t); }
  std::string ThirdGrids() const { return Text(tpGrids); }
  void SetThirdGrids(const std::string& t) { SetText(tpGrids, t); }
  std::string ThirdGroupBoxes() const { return Text(tpGroupBoxes); }
  void SetThirdGroupBoxes(const std::string& t) { SetText(tpGroupBoxes, t); }
  std::string ThirdListViews() const { return Text(tpListViews); }
  void SetThirdListViews(const std::string& t) { SetText(tpListViews, t); }
  std::string ThirdPanels() const { return Text(tpPanels); }
  void SetThirdPanels(const std::string& t) { SetText(tpPanels, t); }
  std::string ThirdTreeViews() const { return Text(tpTreeViews); }
  void SetThirdTreeViews(const std::string& t) { SetText(tpTreeViews, t); }
  std::string ThirdWWEdits() const { return Text(tpWWEdits); }
  void SetThirdWWEdits(const std::string& t) { SetText(tpWWEdits, t); }
  std::string ThirdGridEh() const { return Text(tpGridEh); }
  void SetThirdGridEh(const std::string& t) { SetText(tpGridEh, t); }
  std::string ThirdVirtualTrees() const { return Text(tpVirtualTrees); }
  void SetThirdVirtualTrees(const std::string& t) { SetText(tpVirtualTrees, t); }
  std::string ThirdPageControl() const { return Text(tpPageControl); }
  void SetThirdPageControl(const std::string& t) { SetText(tpPageControl, t); }
  std::string ThirdTabControl() const { return Text(tpTabControl); }
  void SetThirdTabControl(const std::string& t) { SetText(tpTabControl, t); }
  std::string ThirdToolBar() const { return Text(tpToolBar); }
  void SetThirdToolBar(const std::string& t) { SetText(tpToolBar, t); }
  std::string ThirdStatusBar() const { return Text(tpStatusBar); }
  void SetThirdStatusBar(const std::string& t) { SetText(tpStatusBar, t); }

 private:
  std::array<std::vector<std::string>, kThirdPartyCount> lists_;
};

enum TsSkinningRule : std::uint8_t { srStdForms = 1, srStdDialogs = 2, srThirdParty = 4 };
using TsSkinningRules = std::uint8_t;

// What the manager needs of a form's skin provider (the form frame).
class TsFormSkinLink {
 public:
  virtual ~TsFormSkinLink() = default;
  // The manager the provider paints with (the default manager when it names none).
  virtual TsSkinManager* LinkedManager() const = 0;
  // Marks the frame's cache stale and rebuilds the window region.
  virtual void RecomputeFrame() = 0;
};

// Filters of TsSkinManager::SkinNames.
enum TsSkinListFilter : int { slUnpacked = 0, slPacked = 1, slBoth = 2 };

class TsSkinManager : public TComponent {
 public:
  static constexpr const char* kVersion = "5.65";
  static constexpr const char* kDefaultSkinDirectory = "c:\\Skins";

  explicit TsSkinManager(TComponent* owner);
  ~TsSkinManager() override;

  // Published properties.
  bool SkinnedPopups() const { return skinned_popups_; }
  void SetSkinnedPopups(bool value) { skinned_popups_ = value; }
  TsAnimEffects& AnimEffects() { return anim_effects_; }
  bool IsDefault() const;
  void SetIsDefault(bool value);
  bool Active() const { return active_; }
  void SetActive(bool value);
  const std::vector<std::string>& CommonSections() const { return common_sections_; }
  void SetCommonSections(const std::vector<std::string>& lines);
  int Saturation() const { return saturation_; }
  void SetSaturation(int value);
  int HueOffset() const { return hue_offset_; }
  void SetHueOffset(int value);
  TsStoredSkins& InternalSkins() { return internal_skins_; }
  TsMenuSupport& MenuSupport() { return menu_support_; }
  const std::string& SkinDirectory() const { return skin_directory_; }
  void SetSkinDirectory(const std::string& value);
  const std::string& SkinName() const { return skin_name_; }
  void SetSkinName(const std::string& value);
  // The skin's version with a point as decimal separator, "N/A" while no
  // skin data is active.
  std::string SkinInfo() const;
  TsSkinningRules SkinningRules() const { return skinning_rules_; }
  void SetSkinningRules(TsSkinningRules rules) { skinning_rules_ = rules; }
  TsThirdPartyList& ThirdParty() { return third_party_; }
  const TsThirdPartyList& ThirdParty() const { return third_party_; }
  std::string Version() const { return kVersion; }

  TNotifyEvent OnBeforeChange;
  TNotifyEvent OnAfterChange;
  TEvent<TObject* /*Sender*/, std::string& /*Text*/> OnGetMenuExtraLineData;

  // The model and its look-ups (all give -1 when nothing is found).
  TsSkinModel& Model() { return model_; }
  const TsSkinModel& Model() const { return model_; }
  TsSkinData& SkinData() { return model_.SkinData(); }
  const TsSkinData& SkinData() const { return model_.SkinData(); }
  bool Packed() const { return packed_; }
  int SectionIndex(const std::string& name) const { return model_.SectionIndex(name); }
  int MaskIndex(int section, const std::string& name, const std::string& key) const {
    return model_.MaskIndex(section, name, key);
  }
  int TextureIndex(int section, const std::string& name, const std::string& key) const {
    return model_.TextureIndex(section, name, key);
  }
  int PatternIndex(int section, const std::string& name, const std::string& key) const {
    return model_.PatternIndex(section, name, key);
  }
  TColor GlobalColor() const { return model_.GlobalColor(); }
  TColor GlobalFontColor() const { return model_.GlobalFontColor(); }

  // The resolved skin folder, with a trailing "/"; empty when the folder
  // names none on this system.
  std::string ResolvedSkinDirectory() const;
  // Sorted names of the internal skins and of the skins in the resolved
  // folder (sub-folders holding "Options.dat" and ".lsz" files by `filter`);
  // `first` gets the first name found, internal skins first.
  std::vector<std::string> SkinNames(TsSkinListFilter filter, std::string* first = nullptr) const;

  // Announces the loaded skin (ApplySkin to every form and control), with a
  // refresh of the registered forms when asked.
  void ApplySkin(bool refresh);
  // HaltFade and RepaintSkin to all forms; each registered form is redrawn once.
  void RepaintForms();
  // Takes the skin away from every form (DropSkin) and empties the model.
  void RemoveSkin();
  // Sends a skin command with this manager as second parameter to every form
  // and, through them, to every control.
  void BroadcastCommand(TsCommand command);

  // The skinned control the pointer entered last (cleared when it goes).
  TControl* HotControl() const { return hot_control_; }
  void SetHotControl(TControl* control) { hot_control_ = control; }

 protected:
  void Loaded() override;

 private:
  void ChangeSkin();
  void LoadNamedSkin();
  void LoadPackedFile(const std::string& file_name);
  void LoadUnpackedOrInternal();
  void LoadInternal();
  void BuildModel(const TMemIniFile* options, const TsSkinArchive* archive,
                  const std::string& origin);
  void ReloadAndRefresh();
  void SetRedrawOfRegisteredForms(bool redraw);
  void AnnounceToLoadingOwner();

  bool skinned_popups_ = true;
  TsAnimEffects anim_effects_;
  bool active_ = true;
  std::vector<std::string> common_sections_;
  int saturation_ = 0;
  int hue_offset_ = 0;
  TsStoredSkins internal_skins_;
  TsMenuSupport menu_support_;
  std::string skin_directory_;
  std::string skin_name_;
  TsSkinningRules skinning_rules_ = srStdForms | srStdDialogs | srThirdParty;
  TsThirdPartyList third_party_;

  TsSkinModel model_;
  bool packed_ = false;
  int menu_border_width_ = -1;  // the menu painter's cached border width
  TControl* hot_control_ = nullptr;
};

// Hands a skin command on to `parent`'s children, as the broadcast does:
// windowless controls and windows not made yet get a direct call, skinned
// windows get the message (they forward further themselves), other windows
// are descended into. Stops at the first child being destroyed. A skinned
// container calls it for the commands the manager broadcasts.
void ForwardSkinCommand(TWinControl* parent, std::uintptr_t wparam, std::intptr_t lparam);

// --- process-wide state ---------------------------------------------------

// The application's default manager: the first one created, or the last one
// whose IsDefault was set to true; nullptr when there is none.
TsSkinManager* DefaultManager();

// Forms whose skin provider registered them. Removal moves the last entry
// into the freed slot.
struct TsRegisteredForm {
  TCustomForm* Form = nullptr;
  TsFormSkinLink* Link = nullptr;
};
void RegisterSkinnedForm(TCustomForm* form, TsFormSkinLink* link);
void UnregisterSkinnedForm(TCustomForm* form);
const std::vector<TsRegisteredForm>& RegisteredSkinnedForms();

// Set from the start to the end of every skin load, and while a new skin is
// being announced: controls do not paint or react twice meanwhile.
bool SkinLoading();
bool ApplyingSkin();
// Set by the default manager's refresh when skin-change animation is active.
bool SkinChangeAnimation();

// Names a stored skin (packed data) to build ahead and gives the work that
// builds it, to run on another thread: it builds the model as a manager
// loading the skin with the settings a new manager has (no hue or
// saturation change, no common sections) would. Start-up names the main
// window's skin and builds it while Qt starts. The first skin load in the
// process takes the built model when it loads a stored skin of the same
// name and bytes with those settings. It never waits: a skin not built by
// then is built by the load itself, as is anything else, and a build that
// ends after the load (or after the skin is named anew) keeps nothing. A
// build that meets a warning or an error keeps nothing either: the load
// builds the skin itself and reports what it meets. `data` must stay valid
// until the work has run (the program's own skins are static data).
std::function<void()> PrepareStoredSkin(const std::uint8_t* data, std::size_t size,
                                        const std::string& name);
// Whether a skin built ahead waits for a load to take it, and how many
// loads in the process have taken one.
bool PreparedSkinWaiting();
int PreparedSkinsTaken();

// Shows a skin warning (the archive's "not packed" message) in a warning
// message box with an OK button.
void ShowSkinWarning(const std::string& text);
// Shows a skin that could not be loaded through the application's error box.
void ReportLoadError(const std::exception& e);

// The per-thread window hook, installed by the default manager when it
// announces a skin and removed with the skin: windows without a skin of
// their own (dialogs, message boxes, forms without provider) are adopted
// when they are activated, by the manager's SkinningRules.
void InstallSkinHook(TsSkinManager* manager);
void UninstallSkinHook();
bool SkinHookInstalled();

// The skin folder rules on this system: a value beginning with ".." is taken
// relative to the parent of `app_folder`, one beginning with "./" relative to
// `app_folder`, any other relative path relative to `app_folder`, and an
// absolute path unchanged; backslashes become "/" and a trailing "/" is
// added. `app_folder` ends with "/". A path naming a drive ("D:\Skins", or
// any relative path whose first part holds a ":") names no folder on this
// system: the result is empty, and nothing is looked for on disk.
std::string ResolveSkinDirectory(const std::string& value, const std::string& app_folder);
// The folder of the running program, with a trailing "/".
std::string ApplicationFolder();
