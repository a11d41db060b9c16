#include "skin/sSkinManager.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include "skin/SkinLimits.h"
#include "toolkit/Guards.h"
#include "toolkit/MadeAhead.h"
#include "toolkit/SysUtils.h"

namespace {
TsSkinManager* g_default_manager = nullptr;
std::vector<TsRegisteredForm> g_registered_forms;
bool g_skin_loading = false;
bool g_applying_skin = false;
bool g_skin_change_animation = false;

// What a manager builds its model from, besides the skin itself.
void BuildSkinModel(TsSkinModel& model, const TMemIniFile* options, const TsSkinArchive* archive,
                    const std::string& origin, const std::string& skin_path,
                    const std::vector<std::string>& common_sections, int hue_offset,
                    int saturation) {
  TsModelSource source;
  source.Origin = origin;
  source.Options = options;
  source.Archive = archive;
  source.SkinPath = skin_path;
  std::string common_text;
  for (const std::string& line : common_sections) common_text += line + "\r\n";
  TMemIniFile common(common_text);
  source.CommonSections = &common;
  source.HueOffset = hue_offset;
  source.Saturation = saturation;
  model.Build(source);
}

// The stored skin built ahead (PrepareStoredSkin), from what bytes and under
// what name, until the first skin load takes it.
struct TBuiltAhead {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::string name;
  std::unique_ptr<TsSkinModel> model;
};
TMadeAhead<TBuiltAhead> g_built_ahead;
std::atomic<int> g_built_ahead_taken{0};

// What LoadInternal builds from stored data with a new manager's settings;
// nullptr where it would warn or fail (it then does so itself).
std::unique_ptr<TsSkinModel> BuildStoredSkin(const std::uint8_t* data, std::size_t size,
                                             const std::string& name) {
  try {
    bool warned = false;
    TsSkinArchive archive;
    archive.LoadFromMemory(
        data, size, [&warned](const std::string&) { warned = true; }, name);
    if (warned) return nullptr;
    TMemIniFile options(std::string_view(reinterpret_cast<const char*>(archive.Options().data()),
                                         archive.Options().size()));
    auto model = std::make_unique<TsSkinModel>();
    BuildSkinModel(*model, &options, &archive, name, std::string(), {}, 0, 0);
    return model;
  } catch (...) {
    return nullptr;
  }
}

// Takes the skin built ahead, if any; gives its model when it was built
// from `data` under `name`.
std::unique_ptr<TsSkinModel> TakePreparedSkin(const std::vector<std::uint8_t>& data,
                                              const std::string& name) {
  std::optional<TBuiltAhead> built = g_built_ahead.Take();
  const bool same = built && built->name == name && built->size == data.size() &&
                    std::memcmp(built->data, data.data(), data.size()) == 0;
  return same ? std::move(built->model) : nullptr;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// "Options.dat" in `folder` (with trailing "/"), found without regard to
// case as skins are made on systems that ignore it; empty when absent. Found
// whatever it is: reading it refuses what is not a regular file.
std::string OptionsFileIn(const std::string& folder) {
  if (SkinFileExists(folder + "Options.dat")) return folder + "Options.dat";
  std::string found;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d)) {
      if (UpperCase(e->d_name) == "OPTIONS.DAT" && !IsDirectory(folder + e->d_name)) {
        found = folder + e->d_name;
        break;
      }
    }
    closedir(d);
  }
  return found;
}

std::string ReadText(const std::string& path) {
  const std::optional<std::vector<std::uint8_t>> bytes = ReadSkinFile(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

// Whether the first part of a path (backslashes already turned into "/")
// names a drive, as "D:/Skins" does.
bool NamesADrive(const std::string& path) {
  if (path.empty() || path[0] == '/') return false;
  return path.substr(0, path.find('/')).find(':') != std::string::npos;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> r;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() || end < text.size()) r.push_back(line);
    start = end + 1;
  }
  return r;
}

// The 17 default lists, by index.
const char* const kThirdPartyDefaults[kThirdPartyCount] = {
    // One list over two lines.
    ("TEdit\nTMemo\nTMaskEdit\nTLabeledEdit\nTHotKey\nTListBox\nTCheckListBox\nTRichEdit\n"
     "TDateTimePicker"),
    "TButton",
    "TBitBtn",
    "TCheckBox\nTRadioButton\nTGroupButton",
    "TComboBox\nTColorBox",
    "TStringGrid\nTDrawGrid",
    "TGroupBox\nTRadioGroup",
    "TListView",
    "TPanel",
    "TTreeView",
    " ",
    " ",
    " ",
    "TPageControl",
    "TTabControl",
    "TToolBar",
    "TStatusBar",
};

// Five numbers separated by blanks; another count sets the text colour only
// (when there is one) and leaves the contours at -1.
void ParseFontColors(const std::string& text, TsFontColors& colors) {
  std::vector<int> values;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == ';' || text[i] == ',')) ++i;
    std::size_t j = i;
    while (j < text.size() && text[j] != ' ' && text[j] != ';' && text[j] != ',') ++j;
    if (j > i) {
      int v = 0;
      if (TryStrToInt(std::string_view(text).substr(i, j - i), v)) values.push_back(v);
    }
    i = j;
  }
  colors = {values.empty() ? 0 : values[0], -1, -1, -1, -1};
  if (values.size() == 5) std::copy(values.begin(), values.end(), colors.begin());
}

std::string FormatVersion(double version) {
  // A point as decimal separator, whatever the locale; no trailing zeros.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6f", version);
  std::string s = buf;
  for (char& c : s) {
    if (c == ',') c = '.';
  }
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}
}  // namespace

// --- stored skins ---------------------------------------------------------

void TsSkinGeneral::SetFontColor(const std::string& text) {
  ParseFontColors(text, Record.FontColor);
}

void TsSkinGeneral::SetHotFontColor(const std::string& text) {
  ParseFontColors(text, Record.HotFontColor);
}

TsStoredSkin& TsStoredSkins::Add() {
  items_.push_back(std::make_unique<TsStoredSkin>());
  return *items_.back();
}

TsStoredSkin* TsStoredSkins::Find(const std::string& name) {
  for (auto& item : items_) {
    if (item->Name() == name) return item.get();
  }
  return nullptr;
}

TsMenuSupport::TsMenuSupport() {
  extra_line_font_.SetName("Tahoma");
  extra_line_font_.SetHeight(-11);
}

std::string TsThirdPartyList::Text(int index) const {
  std::string text;
  for (const std::string& name : Names(index)) {
    if (!text.empty()) text += "\r\n";
    text += name;
  }
  return text;
}

void TsThirdPartyList::SetText(int index, const std::string& text) {
  lists_.at(static_cast<std::size_t>(index)) = SplitLines(text);
}

void TsThirdPartyList::FillEmptyFromDefaults() {
  for (int i = 0; i < kThirdPartyCount; ++i) {
    if (lists_[static_cast<std::size_t>(i)].empty()) SetText(i, DefaultText(i));
  }
}

std::string TsThirdPartyList::DefaultText(int index) {
  return kThirdPartyDefaults[static_cast<std::size_t>(index)];
}

// --- process-wide state ---------------------------------------------------

TsSkinManager* DefaultManager() {
  return g_default_manager;
}

void RegisterSkinnedForm(TCustomForm* form, TsFormSkinLink* link) {
  for (TsRegisteredForm& r : g_registered_forms) {
    if (r.Form == form) {
      r.Link = link;
      return;
    }
  }
  g_registered_forms.push_back({form, link});
}

void UnregisterSkinnedForm(TCustomForm* form) {
  for (std::size_t i = 0; i < g_registered_forms.size(); ++i) {
    if (g_registered_forms[i].Form == form) {
      g_registered_forms[i] = g_registered_forms.back();
      g_registered_forms.pop_back();
      return;
    }
  }
}

const std::vector<TsRegisteredForm>& RegisteredSkinnedForms() {
  return g_registered_forms;
}

bool SkinLoading() {
  return g_skin_loading;
}
bool ApplyingSkin() {
  return g_applying_skin;
}
bool SkinChangeAnimation() {
  return g_skin_change_animation;
}

std::string ApplicationFolder() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  std::string path(buf, static_cast<std::size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

std::string ResolveSkinDirectory(const std::string& value, const std::string& app_folder) {
  std::string v = value;
  std::replace(v.begin(), v.end(), '\\', '/');
  std::string app = app_folder;
  if (app.empty() || app.back() != '/') app += '/';
  // A folder of another system's drive: reading it as a relative path would
  // look for it in whatever folder the program was started from.
  if (NamesADrive(v)) return std::string();
  std::string r;
  if (v.rfind("..", 0) == 0) {
    // The parent of the application's folder, with its trailing separator.
    std::string parent = app.substr(0, app.size() - 1);
    parent = parent.substr(0, parent.rfind('/') + 1);
    if (parent.empty()) parent = "/";
    r = parent + (v.size() > 3 ? v.substr(3) : std::string());
  } else if (v.rfind("./", 0) == 0) {
    r = app + v.substr(2);
  } else if (v.empty() || (v[0] != '/' && v.find(':') == std::string::npos)) {
    r = app + v;
  } else {
    r = v;
  }
  if (r.empty() || r.back() != '/') r += '/';
  return r;
}

// --- the manager ------------------------------------------------------------

TsSkinManager::TsSkinManager(TComponent* owner) : TComponent(owner), model_(this) {
  skin_directory_ = kDefaultSkinDirectory;
  third_party_.FillEmptyFromDefaults();
  if (g_default_manager == nullptr) g_default_manager = this;
}

TsSkinManager::~TsSkinManager() {
  Destroying();
  if (active_) {
    active_ = false;
    RemoveSkin();
  }
  if (g_default_manager == this) g_default_manager = nullptr;
}

bool TsSkinManager::IsDefault() const {
  return g_default_manager == this;
}

void TsSkinManager::SetIsDefault(bool value) {
  if (value || g_default_manager == nullptr) {
    g_default_manager = this;
    if (IsLoading()) return;
    if (active_) {
      ApplySkin(true);
      RepaintForms();
    } else {
      RemoveSkin();
    }
  }
  // False leaves the manager default only if it already is.
}

void TsSkinManager::SetActive(bool value) {
  if (value == active_) return;
  active_ = value;
  if (value) {
    ChangeSkin();
  } else {
    if (!IsLoading()) RemoveSkin();
    model_.UpdateCache();
  }
}

void TsSkinManager::SetCommonSections(const std::vector<std::string>& lines) {
  std::vector<std::string> trimmed;
  trimmed.reserve(lines.size());
  for (const std::string& line : lines) {
    if (!line.empty() && line[0] == ';') {
      trimmed.push_back(line);
    } else {
      std::string t = line;
      while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\r')) t.pop_back();
      trimmed.push_back(t);
    }
  }
  if (trimmed == common_sections_) return;
  common_sections_ = std::move(trimmed);
  if (!IsLoading() && active_ && !skin_name_.empty()) ChangeSkin();
}

void TsSkinManager::SetSaturation(int value) {
  if (value == saturation_) return;
  saturation_ = value;
  ReloadAndRefresh();
}

void TsSkinManager::SetHueOffset(int value) {
  if (value == hue_offset_) return;
  hue_offset_ = value;
  ReloadAndRefresh();
}

void TsSkinManager::ReloadAndRefresh() {
  if (IsLoading() || !active_ || !model_.SkinData().Active) return;
  ChangeSkin();
}

void TsSkinManager::SetSkinDirectory(const std::string& value) {
  if (value == skin_directory_) return;
  skin_directory_ = value;
  // An unpacked skin finds its images in its own folder; a packed or stored
  // one takes the folder as its path.
  const std::string dir = ResolvedSkinDirectory();
  if (packed_ || model_.SkinData().SkinPath.empty() || dir.empty()) {
    model_.SkinData().SkinPath = packed_ ? dir : std::string();
  } else {
    model_.SkinData().SkinPath = dir + skin_name_ + "/";
  }
}

void TsSkinManager::SetSkinName(const std::string& value) {
  if (value == skin_name_ && model_.SkinData().Active) return;
  skin_name_ = value;
  ChangeSkin();
}

std::string TsSkinManager::SkinInfo() const {
  if (!model_.SkinData().Active) return "N/A";
  return FormatVersion(model_.SkinData().Version);
}

std::string TsSkinManager::ResolvedSkinDirectory() const {
  return ResolveSkinDirectory(skin_directory_, ApplicationFolder());
}

std::vector<std::string> TsSkinManager::SkinNames(TsSkinListFilter filter,
                                                  std::string* first) const {
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(internal_skins_.Count()));
  for (int i = 0; i < internal_skins_.Count(); ++i)
    names.push_back(internal_skins_.Items(i).Name());
  const std::string dir = ResolvedSkinDirectory();
  std::vector<std::string> on_disk;
  if (DIR* d = dir.empty() ? nullptr : opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name.empty() || name[0] == '.') continue;
      const std::string path = dir + name;
      if (filter != slPacked && IsDirectory(path) && !OptionsFileIn(path + "/").empty()) {
        on_disk.push_back(name);
      } else if (filter != slUnpacked && name.size() > 4 &&
                 UpperCase(name.substr(name.size() - 4)) == ".LSZ" && IsFile(path)) {
        on_disk.push_back(name.substr(0, name.size() - 4));
      }
    }
    closedir(d);
  }
  std::sort(on_disk.begin(), on_disk.end());
  if (first != nullptr) {
    *first = !names.empty() ? names.front() : (!on_disk.empty() ? on_disk.front() : std::string());
  }
  names.insert(names.end(), on_disk.begin(), on_disk.end());
  std::sort(names.begin(), names.end());
  // A folder named like an internal skin is listed once.
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

void TsSkinManager::ChangeSkin() {
  if (!active_) return;
  // A skin built ahead that this load does not take is of no more use.
  const TScopeExit drop_prepared([] { g_built_ahead.Take(); });
  OnBeforeChange(this);
  std::optional<ESkinRefused> refused;
  {
    TFlagScope loading(g_skin_loading);
    model_.SkinData().Active = false;
    try {
      try {
        LoadNamedSkin();
      } catch (const ESkinRefused& e) {
        // A skin from outside beyond one of the bounds: said so below, and
        // the internal skin is used instead.
        refused = e;
        LoadInternal();
      }
    } catch (const Exception& e) {
      // The load ended: go on without a skin. While the window's settings
      // are read there is no handler above to report it, so it is shown
      // here and reading goes on; otherwise the caller's handler reports it.
      model_.Clear();
      RemoveSkin();
      if (!IsLoading()) throw;
      ReportLoadError(e);
      return;
    }
    if (!active_) {
      RemoveSkin();
    } else {
      ApplySkin(true);
    }
  }
  OnAfterChange(this);
  if (refused) {
    if (!IsLoading()) throw *refused;
    ReportLoadError(*refused);
  }
}

void TsSkinManager::LoadNamedSkin() {
  // The packed file is looked for in the resolved folder (not in the folder
  // text as stored, which would make a relative folder depend on the
  // working directory); a folder that names none here has no skins.
  const std::string dir = ResolvedSkinDirectory();
  const std::string packed_file = dir + skin_name_ + ".lsz";
  if (!dir.empty() && !skin_name_.empty() && SkinFileExists(packed_file) &&
      !IsDirectory(packed_file)) {
    LoadPackedFile(packed_file);
  } else {
    LoadUnpackedOrInternal();
  }
}

void TsSkinManager::LoadPackedFile(const std::string& file_name) {
  TsSkinArchive archive;
  archive.LoadFromFile(file_name, ShowSkinWarning);
  TMemIniFile options(std::string_view(reinterpret_cast<const char*>(archive.Options().data()),
                                       archive.Options().size()));
  packed_ = true;
  model_.SkinData().SkinPath = ResolvedSkinDirectory();
  BuildModel(&options, &archive, file_name);
}

void TsSkinManager::LoadUnpackedOrInternal() {
  if (!active_) return;
  const std::string dir = ResolvedSkinDirectory();
  const std::string options_file =
      skin_name_.empty() || dir.empty() ? std::string() : OptionsFileIn(dir + skin_name_ + "/");
  if (!options_file.empty()) {
    TMemIniFile options(ReadText(options_file));
    packed_ = false;
    model_.SkinData().SkinPath = dir + skin_name_ + "/";
    BuildModel(&options, nullptr, options_file);
    return;
  }
  LoadInternal();
}

void TsSkinManager::LoadInternal() {
  if (!active_) return;
  model_.SkinData().SkinPath.clear();
  TsStoredSkin* stored = internal_skins_.Find(skin_name_);
  if (stored == nullptr) {
    if (internal_skins_.Empty()) {
      active_ = false;
      model_.Clear();
      return;
    }
    stored = &internal_skins_.Items(0);
    skin_name_ = stored->Name();
  }
  if (!stored->Data().empty()) {
    std::unique_ptr<TsSkinModel> prepared = TakePreparedSkin(stored->Data(), stored->Name());
    if (prepared && hue_offset_ == 0 && saturation_ == 0 && common_sections_.empty()) {
      packed_ = true;
      model_.Adopt(std::move(*prepared));
      ++g_built_ahead_taken;
      return;
    }
    TsSkinArchive archive;
    archive.LoadFromMemory(stored->Data().data(), stored->Data().size(), ShowSkinWarning,
                           stored->Name());
    TMemIniFile options(std::string_view(reinterpret_cast<const char*>(archive.Options().data()),
                                         archive.Options().size()));
    packed_ = true;
    BuildModel(&options, &archive, stored->Name());
    return;
  }
  // The older way: the skin's records stored one by one.
  packed_ = false;
  std::vector<SectionRecord> sections;
  for (const TsSkinGeneral& g : stored->GeneralData()) {
    sections.push_back(g.Record);
    sections.back().GradientArray = ParseGradient(g.Record.GradientData);
    sections.back().HotGradientArray = ParseGradient(g.Record.HotGradientData);
  }
  std::vector<MaskRecord> masks;
  for (const TsSkinImage& i : stored->Images()) masks.push_back(i.Record);
  TsSkinData data;
  data.Version = stored->Version;
  data.Author = stored->Author;
  data.Description = stored->Description;
  data.Shadow1Color = stored->Shadow1Color;
  data.Shadow1Offset = stored->Shadow1Offset;
  data.Shadow1Blur = stored->Shadow1Blur;
  data.Shadow1Transparency = stored->Shadow1Transparency;
  data.BorderColor = stored->BorderColor;
  model_.Assign(std::move(sections), std::move(masks), stored->MasterBitmap(), data);
  if (hue_offset_ != 0 || saturation_ != 0) model_.ShiftHueSaturation(hue_offset_, saturation_);
}

void TsSkinManager::BuildModel(const TMemIniFile* options, const TsSkinArchive* archive,
                               const std::string& origin) {
  BuildSkinModel(model_, options, archive, origin, model_.SkinData().SkinPath, common_sections_,
                 hue_offset_, saturation_);
}

void TsSkinManager::Loaded() {
  TComponent::Loaded();
  if (skin_directory_.empty()) skin_directory_ = kDefaultSkinDirectory;
  if (menu_support_.IcoLineSkin().empty()) menu_support_.SetIcoLineSkin("ICOLINE");
  third_party_.FillEmptyFromDefaults();
  if (active_ && !skin_name_.empty()) {
    ApplySkin(false);
    // The window that holds the manager finishes its own reading after its
    // components: the broadcast passed it over as still loading, so it is
    // told here, once, with all its settings read.
    AnnounceToLoadingOwner();
  }
}

void TsSkinManager::ApplySkin(bool refresh) {
  if (IsLoading()) return;
  if (refresh) {
    SetRedrawOfRegisteredForms(false);
    if (IsDefault() && anim_effects_.SkinChanging.Active()) g_skin_change_animation = true;
  }
  menu_border_width_ = -1;
  model_.SkinData().Active = false;
  {
    TFlagScope applying(g_applying_skin);
    model_.UpdateCache();
    BroadcastCommand(TsCommand::ApplySkin);
  }
  model_.SkinData().Active = true;
  if (IsDefault()) InstallSkinHook(this);
  if (refresh) RepaintForms();
  g_skin_change_animation = false;
}

void TsSkinManager::RemoveSkin() {
  UninstallSkinHook();
  model_.SkinData().Active = false;
  BroadcastCommand(TsCommand::DropSkin);
  model_.Clear();
}

std::function<void()> PrepareStoredSkin(const std::uint8_t* data, std::size_t size,
                                        const std::string& name) {
  const std::uint64_t round = g_built_ahead.Begin();
  return [data, size, name, round] {
    if (!g_built_ahead.Wanted(round)) return;
    if (std::unique_ptr<TsSkinModel> model = BuildStoredSkin(data, size, name))
      g_built_ahead.Keep(round, TBuiltAhead{data, size, name, std::move(model)});
  };
}

bool PreparedSkinWaiting() {
  return g_built_ahead.Holds();
}

int PreparedSkinsTaken() {
  return g_built_ahead_taken.load();
}
