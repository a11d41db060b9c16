// The program as a user starts it, in a private Xvfb:
// - time from process start to the first painted main window, median of 10,
//   against a minimal Qt Widgets window with one label started the same way
//   in the same run, once at its own size and once at the main window's
//   size (goal: within 1.25x of the bare window of the same size and under
//   150 ms), with the CPU time each had by then, which a busy machine
//   disturbs far less;
// - resident memory of the idle main window (goal: at most 40 MB), beside
//   the label window's, and after 1,000 echoes to 127.0.0.1 (run it alone:
//   --benchmark_filter=Echoes; about nine minutes, the echoes being 500 ms
//   apart; needs root, for a network namespace that counts the echoes).
// - the CPU time of a 50-echo series with the scope running, beside the same
//   series in a window of Qt's stock widgets (bench_series_window: what Qt
//   itself costs for the visible work on this machine) and, with
//   SONARIX_BASELINE naming another build of the program, beside it; per scope
//   tick, the pixels that changed on the window (DAMAGE), those the program
//   uploaded to the X server and those it had the server copy within itself
//   (a scrolled view; RECORD tells the two apart) (needs ICMP to 127.0.0.1),
//   and the time from the pointer entering a button to its first changed
//   pixel; SONARIX_BENCH_RECTS=1 lists the series' damaged rectangles and
//   its uploads and copies on stderr, with how often each came.
// "Painted" is the X server's word: the first damage to the new top-level
// window (the DAMAGE extension), which comes with the client's first frame.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/damage.h>
#include <xcb/record.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  for (const std::string& e : extra_env) env.push_back(e);
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

// Resident memory of a process, in MiB.
double RssMiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

// CPU time a process has had so far, all its threads, in milliseconds (the
// scheduler's nanosecond account): a figure the other work on the machine
// disturbs far less than the wall clock. The process's CPU clock counts the
// threads that have ended as well (a helper that lived for a few
// milliseconds of start-up); where it cannot be read, the threads still
// alive are summed.
double CpuMs(pid_t pid) {
  clockid_t clock = 0;
  timespec t{};
  if (clock_getcpuclockid(pid, &clock) == 0 && clock_gettime(clock, &t) == 0)
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
  double ns = 0;
  std::error_code error;
  for (const auto& task :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
    std::ifstream stat(task.path() / "schedstat");
    double run = 0;
    if (stat >> run) ns += run;
  }
  return ns / 1e6;
}

// A private X server on a display it picks itself.
class TXvfb {
 public:
  TXvfb() {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      const std::string fd = std::to_string(ready[1]);
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 2);
      // -noreset: no server reset (and refused connections) each time the
      // last client leaves.
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
             "tcp", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(ready[1]);
    // The display number and a newline, perhaps in more than one write.
    std::string number;
    char c;
    while (read(ready[0], &c, 1) == 1 && c != '\n') number += c;
    close(ready[0]);
    if (!number.empty() && c == '\n') display_ = ":" + number;
  }
  ~TXvfb() { Stop(pid_); }
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// Watches the X server for new top-level windows and their first paint.
class TPaintWatch {
 public:
  explicit TPaintWatch(const std::string& display) {
    c_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c_)) return;
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c_, &xcb_damage_id);
    if (!ext || !ext->present) return;
    damage_event_ = ext->first_event + XCB_DAMAGE_NOTIFY;
    free(xcb_damage_query_version_reply(c_, xcb_damage_query_version(c_, 1, 1), nullptr));
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c_);
    ok_ = true;
  }
  ~TPaintWatch() {
    if (c_) xcb_disconnect(c_);
  }
  bool Ok() const { return ok_; }

  // Waits for the first paint of a top-level window created from now on;
  // returns that window, or nullopt after `timeout`.
  std::optional<xcb_window_t> WaitFirstPaint(std::chrono::milliseconds timeout) {
    std::vector<xcb_damage_damage_t> damages;
    std::optional<xcb_window_t> painted;
    const auto end = Clock::now() + timeout;
    while (!painted && Clock::now() < end) {
      xcb_generic_event_t* e = xcb_poll_for_event(c_);
      if (!e) {
        pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
        poll(&p, 1, 5);
        continue;
      }
      const int type = e->response_type & 0x7F;
      if (type == XCB_CREATE_NOTIFY) {
        const auto* create = reinterpret_cast<xcb_create_notify_event_t*>(e);
        if (create->parent == root_) {
          const xcb_damage_damage_t d = xcb_generate_id(c_);
          xcb_damage_create(c_, d, create->window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
          xcb_flush(c_);
          damages.push_back(d);
        }
      } else if (type == damage_event_) {
        painted = reinterpret_cast<xcb_damage_notify_event_t*>(e)->drawable;
      }
      free(e);
    }
    for (xcb_damage_damage_t d : damages) xcb_damage_destroy(c_, d);
    xcb_flush(c_);
    return painted;
  }

  // Events of a window that went away meanwhile are of no interest.
  void Drain() {
    while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) free(e);
  }

 private:
  xcb_connection_t* c_ = nullptr;
  xcb_window_t root_ = 0;
  int damage_event_ = -1;
  bool ok_ = false;
};

const std::vector<std::string> kXcb = {"QT_QPA_PLATFORM=xcb"};

struct TStart {
  double ms = 0;
  double cpu_ms = 0;
  pid_t pid = -1;
  xcb_window_t window = 0;
};

std::optional<TStart> StartAndWaitPaint(TPaintWatch& watch, const std::string& display,
                                        const std::string& program,
                                        const std::vector<std::string>& args = {}) {
  watch.Drain();
  std::vector<std::string> env = kXcb;
  env.push_back("DISPLAY=" + display);
  const auto t0 = Clock::now();
  TStart s;
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  s.pid = Spawn(argv, env);
  if (s.pid <= 0) return std::nullopt;
  const auto window = watch.WaitFirstPaint(std::chrono::seconds(10));
  s.ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  s.cpu_ms = CpuMs(s.pid);
  if (!window) {
    Stop(s.pid);
    return std::nullopt;
  }
  s.window = *window;
  return s;
}

struct TRig {
  TXvfb xvfb;
  std::optional<TPaintWatch> watch;
  TRig() {
    if (!xvfb.Display().empty()) watch.emplace(xvfb.Display());
  }
  bool Ok() const { return watch && watch->Ok(); }
};

std::vector<std::pair<std::string, std::string>> Builds();

// The main window's size on the screen, frame included (the program paints
// its own frame), as the label window takes it.
const char* const kMainWindowSize = "439x530";

void BM_StartToFirstPaint(benchmark::State& state) {
  TRig rig;
  if (!rig.Ok()) {
    state.SkipWithError("no Xvfb with the DAMAGE extension");
    return;
  }
  // This build, the baseline where one is named, and the label window at
  // its own size (46 x 14) and at the main window's (the bare window of the
  // same size, whose first frame is as large as the program's), interleaved,
  // so that all see the same machine.
  struct TProgram {
    std::string name, path;
    std::vector<std::string> args;
  };
  std::vector<TProgram> programs;
  for (const auto& [name, path] : Builds())
    programs.push_back({name.empty() ? "sonarix_" : name, path, {}});
  const std::size_t builds = programs.size();
  programs.push_back({"label_", SONARIX_LABEL_WINDOW, {}});
  programs.push_back({"bare_", SONARIX_LABEL_WINDOW, {kMainWindowSize}});
  const std::size_t label = builds, bare = builds + 1;
  std::vector<std::vector<double>> times(programs.size()), cpu(programs.size());
  for (auto _ : state) {
    for (std::size_t p = 0; p < programs.size(); ++p) {
      const auto s =
          StartAndWaitPaint(*rig.watch, rig.xvfb.Display(), programs[p].path, programs[p].args);
      if (!s) {
        state.SkipWithError(("no painted window from " + programs[p].path).c_str());
        return;
      }
      times[p].push_back(s->ms);
      cpu[p].push_back(s->cpu_ms);
      Stop(s->pid);
    }
  }
  for (std::size_t p = 0; p < programs.size(); ++p) {
    const std::string& name = programs[p].name;
    state.counters[name + "median_ms"] = Median(times[p]);
    state.counters[name + "min_ms"] = *std::min_element(times[p].begin(), times[p].end());
    state.counters[name + "cpu_ms"] = Median(cpu[p]);
    if (p < builds) {
      state.counters[name + "ratio"] = Median(times[p]) / Median(times[label]);
      state.counters[name + "cpu_ratio"] = Median(cpu[p]) / Median(cpu[label]);
      state.counters[name + "same_size_ratio"] = Median(times[p]) / Median(times[bare]);
      state.counters[name + "same_size_cpu_ratio"] = Median(cpu[p]) / Median(cpu[bare]);
    }
  }
}
BENCHMARK(BM_StartToFirstPaint)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_IdleResidentMemory(benchmark::State& state) {
  TRig rig;
  if (!rig.Ok()) {
    state.SkipWithError("no Xvfb with the DAMAGE extension");
    return;
  }
  std::vector<double> sonarix, label;
  for (auto _ : state) {
    for (const auto& [program, sizes] : {std::pair{std::string(SONARIX_PROGRAM), &sonarix},
                                         std::pair{std::string(SONARIX_LABEL_WINDOW), &label}}) {
      const auto s = StartAndWaitPaint(*rig.watch, rig.xvfb.Display(), program);
      if (!s) {
        state.SkipWithError(("no painted window from " + program).c_str());
        return;
      }
      std::this_thread::sleep_for(std::chrono::seconds(1));  // settled and idle
      sizes->push_back(RssMiB(s->pid));
      Stop(s->pid);
    }
  }
  state.counters["sonarix_idle_MiB"] = Median(sonarix);
  state.counters["label_idle_MiB"] = Median(label);
}
BENCHMARK(BM_IdleResidentMemory)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();

// Echo requests sent and replies received in this network namespace.
std::pair<long, long> EchoCounters() {
  std::ifstream snmp("/proc/net/snmp");
  std::string names, values, line;
  while (std::getline(snmp, line)) {
    if (line.rfind("IcmpMsg:", 0) != 0) continue;
    if (names.empty())
      names = line;
    else
      values = line;
  }
  std::istringstream n(names), v(values);
  std::string name, value;
  long sent = 0, received = 0;
  while (n >> name && v >> value) {
    if (name == "OutType8") sent = std::stol(value);
    if (name == "InType0") received = std::stol(value);
  }
  return {sent, received};
}

bool Xdotool(const std::string& display, const std::string& args) {
  return std::system(("DISPLAY=" + display + " xdotool " + args + " >/dev/null 2>&1").c_str()) == 0;
}

void BM_ResidentMemoryAfter1000Echoes(benchmark::State& state) {
  if (geteuid() != 0 || unshare(CLONE_NEWNET) != 0 ||
      std::system("ip link set lo up >/dev/null 2>&1") != 0) {
    state.SkipWithError("needs root, for a network namespace that counts the echoes");
    return;
  }
  TRig rig;
  if (!rig.Ok()) {
    state.SkipWithError("no Xvfb with the DAMAGE extension");
    return;
  }
  for (auto _ : state) {
    const auto s = StartAndWaitPaint(*rig.watch, rig.xvfb.Display(), SONARIX_PROGRAM);
    if (!s) {
      state.SkipWithError("no painted main window");
      return;
    }
    const std::string display = rig.xvfb.Display();
    const std::string win = std::to_string(s->window);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double idle = RssMiB(s->pid);
    // As a user would: from the host box to the count box, down to "Until
    // Cancel", Enter.
    Xdotool(display, "windowfocus --sync " + win);
    Xdotool(display, "key Tab Down Down Down Down Down Return");
    const auto [sent0, received0] = EchoCounters();
    long received = 0;
    const auto started = Clock::now();
    while (received < 1000 && Clock::now() - started < std::chrono::minutes(15)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      received = EchoCounters().second - received0;
    }
    const double after = RssMiB(s->pid);
    Xdotool(display, "key Escape");
    Stop(s->pid);
    if (received < 1000) {
      state.SkipWithError(("only " + std::to_string(received) + " echoes came back").c_str());
      return;
    }
    state.counters["idle_MiB"] = idle;
    state.counters["after_1000_echoes_MiB"] = after;
    state.counters["echoes"] = static_cast<double>(received);
  }
}
BENCHMARK(BM_ResidentMemoryAfter1000Echoes)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// ---- a series and a hover, beside another build ---------------------------

// The builds to compare: this one, and the one SONARIX_BASELINE names (say,
// the program built from an earlier commit), each figure taken for both in
// the same run, interleaved.
std::vector<std::pair<std::string, std::string>> Builds() {
  std::vector<std::pair<std::string, std::string>> builds{{"", SONARIX_PROGRAM}};
  if (const char* base = std::getenv("SONARIX_BASELINE"); base && *base)
    builds.emplace_back("baseline_", base);
  return builds;
}

struct TDamage {
  Clock::time_point at;
  int x = 0, y = 0, w = 0, h = 0;
};

// Every rectangle the client draws on one window, as the X server reports
// it (raw rectangles: one event per drawing request, nothing merged).
class TDamageLog {
 public:
  TDamageLog(const std::string& display, xcb_window_t window) : window_(window) {
    c_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c_)) return;
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c_, &xcb_damage_id);
    if (!ext || !ext->present) return;
    damage_event_ = ext->first_event + XCB_DAMAGE_NOTIFY;
    free(xcb_damage_query_version_reply(c_, xcb_damage_query_version(c_, 1, 1), nullptr));
    damage_ = xcb_generate_id(c_);
    xcb_damage_create(c_, damage_, window, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    xcb_flush(c_);
    ok_ = true;
  }
  ~TDamageLog() {
    if (c_) xcb_disconnect(c_);
  }
  bool Ok() const { return ok_; }

  // The window's place on the screen (no window manager: the root's child).
  std::optional<std::tuple<int, int, int, int>> Geometry() {
    auto* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, window_), nullptr);
    if (!g) return std::nullopt;
    const auto r = std::tuple<int, int, int, int>{g->x, g->y, g->width, g->height};
    free(g);
    return r;
  }

  void Warp(int root_x, int root_y) {
    xcb_warp_pointer(c_, XCB_NONE, root_, 0, 0, 0, 0, static_cast<int16_t>(root_x),
                     static_cast<int16_t>(root_y));
    xcb_flush(c_);
  }

  // Collects damage until `done` says so or `timeout` passes.
  template <typename Done>
  void Collect(std::vector<TDamage>& out, std::chrono::milliseconds timeout, Done done) {
    const auto end = Clock::now() + timeout;
    while (Clock::now() < end && !done(out)) {
      xcb_generic_event_t* e = xcb_poll_for_event(c_);
      if (!e) {
        pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
        poll(&p, 1, 1);
        continue;
      }
      if ((e->response_type & 0x7F) == damage_event_) {
        const auto* d = reinterpret_cast<xcb_damage_notify_event_t*>(e);
        out.push_back({Clock::now(), d->area.x, d->area.y, d->area.width, d->area.height});
      }
      free(e);
    }
  }

  void Drain() {
    xcb_aux_sync();
    while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) free(e);
  }

 private:
  void xcb_aux_sync() { free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

  xcb_connection_t* c_ = nullptr;
  xcb_window_t window_ = 0;
  xcb_window_t root_ = 0;
  xcb_damage_damage_t damage_ = 0;
  int damage_event_ = -1;
  bool ok_ = false;
};

// What one client asks the X server to draw, read through the RECORD
// extension: the pixels it uploads (PutImage, and MIT-SHM's ShmPutImage,
// whose pixels the server reads from shared memory) apart from the areas it
// has the server copy within itself (CopyArea: a backing store kept on the
// server scrolls a view that way). DAMAGE cannot tell the two apart: both
// change the window.
class TUploadLog {
 public:
  struct TArea {
    bool copy = false;
    int x = 0, y = 0, w = 0, h = 0;
  };

  TUploadLog(const std::string& display, xcb_window_t window) {
    c_ = xcb_connect(display.c_str(), nullptr);
    data_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c_) || xcb_connection_has_error(data_)) return;
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c_, &xcb_record_id);
    if (!ext || !ext->present) return;
    free(xcb_record_query_version_reply(c_, xcb_record_query_version(c_, 1, 13), nullptr));
    if (auto* shm = xcb_query_extension_reply(c_, xcb_query_extension(c_, 7, "MIT-SHM"), nullptr)) {
      if (shm->present) shm_major_ = shm->major_opcode;
      free(shm);
    }
    // Every resource a client creates carries its base: the window names
    // the program's connection.
    xcb_record_client_spec_t client = window & ~xcb_get_setup(c_)->resource_id_mask;
    xcb_record_range_t ranges[2];
    std::memset(ranges, 0, sizeof ranges);
    ranges[0].core_requests.first = XCB_COPY_AREA;
    ranges[0].core_requests.last = XCB_PUT_IMAGE;
    ranges[1].ext_requests.major.first = ranges[1].ext_requests.major.last = shm_major_;
    ranges[1].ext_requests.minor.first = ranges[1].ext_requests.minor.last = kShmPutImage;
    context_ = xcb_generate_id(c_);
    xcb_generic_error_t* error = xcb_request_check(
        c_,
        xcb_record_create_context_checked(c_, context_, 0, 1, shm_major_ ? 2 : 1, &client, ranges));
    if (error) {
      free(error);
      return;
    }
    started_ = true;
    reader_ = std::thread([this] { Read(); });
    // The context is live once the server says its data starts.
    const auto end = Clock::now() + std::chrono::seconds(2);
    while (!live_ && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ok_ = live_;
  }
  ~TUploadLog() {
    Finish();
    if (data_) xcb_disconnect(data_);
    if (c_) xcb_disconnect(c_);
  }
  bool Ok() const { return ok_; }

  // Ends the recording (before the client goes) and returns what it saw.
  std::vector<TArea> Finish() {
    if (started_) {
      started_ = false;
      xcb_record_disable_context(c_, context_);
      xcb_flush(c_);
      reader_.join();
      xcb_record_free_context(c_, context_);
      xcb_flush(c_);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return areas_;
  }

 private:
  static constexpr uint8_t kShmPutImage = 3;
  enum { kFromClient = 1, kStartOfData = 4, kEndOfData = 5 };

  static int U16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }

  void Read() {
    const auto cookie = xcb_record_enable_context(data_, context_);
    while (auto* reply = xcb_record_enable_context_reply(data_, cookie, nullptr)) {
      const int category = reply->category;
      if (category == kStartOfData) live_ = true;
      if (category == kFromClient)
        Parse(xcb_record_enable_context_data(reply), xcb_record_enable_context_data_length(reply));
      free(reply);
      if (category == kEndOfData) break;
    }
  }

  // Requests as the client sent them, one after another (this machine's
  // byte order: the client runs here).
  void Parse(const uint8_t* data, int length) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t at = 0; at + 4 <= static_cast<std::size_t>(length);) {
      const uint8_t* r = data + at;
      std::size_t words = U16(r + 2), header = 4;
      if (words == 0) {  // BIG-REQUESTS: the length follows in 32 bits
        if (at + 8 > static_cast<std::size_t>(length)) break;
        uint32_t big;
        std::memcpy(&big, r + 4, 4);
        words = big;
        header = 8;
      }
      const std::size_t bytes = words * 4;
      if (bytes < header || at + bytes > static_cast<std::size_t>(length)) break;
      const uint8_t* body = r + header;
      const std::size_t size = bytes - header;
      if (r[0] == XCB_PUT_IMAGE && size >= 20)
        areas_.push_back({false, U16(body + 12), U16(body + 14), U16(body + 8), U16(body + 10)});
      else if (r[0] == XCB_COPY_AREA && size >= 24)
        areas_.push_back({true, U16(body + 16), U16(body + 18), U16(body + 20), U16(body + 22)});
      else if (shm_major_ && r[0] == shm_major_ && r[1] == kShmPutImage && size >= 36)
        areas_.push_back({false, U16(body + 20), U16(body + 22), U16(body + 16), U16(body + 18)});
      at += bytes;
    }
  }

  xcb_connection_t* c_ = nullptr;
  xcb_connection_t* data_ = nullptr;
  xcb_record_context_t context_ = 0;
  uint8_t shm_major_ = 0;
  bool started_ = false, ok_ = false;
  std::atomic<bool> live_{false};
  std::thread reader_;
  std::mutex mutex_;
  std::vector<TArea> areas_;
};

// The main window's client size and its scope's size.
constexpr int kClientWidth = 431;
constexpr int kScopeWidth = 429, kScopeHeight = 98;

// The scope draws its whole height on every tick: all of it, or the strip
// where the new sample comes in (the rest of the picture is moved on the
// server); either way a rectangle that reaches the scope's right edge, which
// is where the rightmost of its full-height rectangles ends.
bool OnScope(const TDamage& r) {
  return r.h == kScopeHeight && r.w <= kScopeWidth;
}

int ScopeRightEdge(const std::vector<TDamage>& damage) {
  int edge = -1;
  for (const TDamage& r : damage)
    if (OnScope(r)) edge = std::max(edge, r.x + r.w);
  return edge;
}

bool ScopeTick(const TDamage& r, int edge) {
  return OnScope(r) && r.x + r.w == edge;
}

// A 50-echo series to 127.0.0.1 with the scope running, started as a user
// would (the count box, "50", Enter): the CPU time the program had for it,
// and the pixels it sent to the X server per scope tick (a tick draws at
// most the scope's 429 x 98; a new log line adds its own strip).
void BM_SeriesOf50Echoes(benchmark::State& state) {
  TRig rig;
  if (!rig.Ok()) {
    state.SkipWithError("no Xvfb with the DAMAGE extension");
    return;
  }
  // Beside the builds, the same series in a window of Qt's stock widgets:
  // the floor this machine sets for the visible work itself.
  auto builds = Builds();
  builds.emplace_back("qt_window_", SONARIX_SERIES_WINDOW);
  const std::size_t stock = builds.size() - 1;
  std::vector<std::vector<double>> cpu(builds.size()), pixels(builds.size()), ticks(builds.size()),
      uploads_per_tick(builds.size()), copies_per_tick(builds.size());
  for (auto _ : state) {
    for (std::size_t b = 0; b < builds.size(); ++b) {
      const auto s = StartAndWaitPaint(*rig.watch, rig.xvfb.Display(), builds[b].second);
      if (!s) {
        state.SkipWithError("no painted main window");
        return;
      }
      const std::string display = rig.xvfb.Display();
      std::this_thread::sleep_for(std::chrono::seconds(1));
      TDamageLog log(display, s->window);
      Xdotool(display, "windowfocus --sync " + std::to_string(s->window));
      Xdotool(display, "key Tab Down Down Down");
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      log.Drain();
      TUploadLog uploads(display, s->window);
      if (!uploads.Ok()) {
        Stop(s->pid);
        state.SkipWithError("no RECORD of the program's drawing requests");
        return;
      }
      const double cpu0 = CpuMs(s->pid);
      Xdotool(display, "key Return");
      // The series is over when the scope has stood still for 1.5 s.
      std::vector<TDamage> damage;
      const auto started = Clock::now();
      log.Collect(damage, std::chrono::seconds(90), [&](const std::vector<TDamage>& d) {
        const auto last = std::find_if(d.rbegin(), d.rend(), OnScope);
        const auto now = Clock::now();
        return now - started > std::chrono::seconds(20) && last != d.rend() &&
               now - last->at > std::chrono::milliseconds(1500);
      });
      const double cpu1 = CpuMs(s->pid);
      const std::vector<TUploadLog::TArea> drawn = uploads.Finish();
      Stop(s->pid);
      double uploaded = 0, copied = 0;
      for (const TUploadLog::TArea& a : drawn)
        (a.copy ? copied : uploaded) += static_cast<double>(a.w) * a.h;
      double area = 0;
      int scope_ticks = 0;
      const int edge = ScopeRightEdge(damage);
      for (const TDamage& r : damage) {
        area += static_cast<double>(r.w) * r.h;
        if (ScopeTick(r, edge)) ++scope_ticks;
      }
      if (std::getenv("SONARIX_BENCH_RECTS")) {
        std::map<std::tuple<int, int, int, int>, int> seen;
        for (const TDamage& r : damage) ++seen[{r.x, r.y, r.w, r.h}];
        for (const auto& [r, n] : seen)
          std::fprintf(stderr, "%s %d,%d %dx%d: %d\n", builds[b].second.c_str(), std::get<0>(r),
                       std::get<1>(r), std::get<2>(r), std::get<3>(r), n);
        std::map<std::tuple<bool, int, int, int, int>, int> sent;
        for (const TUploadLog::TArea& a : drawn) ++sent[{a.copy, a.x, a.y, a.w, a.h}];
        for (const auto& [a, n] : sent)
          std::fprintf(stderr, "%s %s to %d,%d %dx%d: %d\n", builds[b].second.c_str(),
                       std::get<0>(a) ? "copy" : "upload", std::get<1>(a), std::get<2>(a),
                       std::get<3>(a), std::get<4>(a), n);
      }
      cpu[b].push_back(cpu1 - cpu0);
      const double per_tick = scope_ticks ? scope_ticks : 1;
      pixels[b].push_back(area / per_tick);
      uploads_per_tick[b].push_back(uploaded / per_tick);
      copies_per_tick[b].push_back(copied / per_tick);
      ticks[b].push_back(scope_ticks);
    }
  }
  for (std::size_t b = 0; b < builds.size(); ++b) {
    state.counters[builds[b].first + "series_cpu_ms"] = Median(cpu[b]);
    if (b != stock) {
      // Ratios of the runs taken side by side, then their median.
      std::vector<double> ratios;
      for (std::size_t i = 0; i < cpu[b].size() && i < cpu[stock].size(); ++i)
        if (cpu[stock][i] > 0) ratios.push_back(cpu[b][i] / cpu[stock][i]);
      if (!ratios.empty()) state.counters[builds[b].first + "series_cpu_ratio"] = Median(ratios);
    }
    state.counters[builds[b].first + "pixels_per_tick"] = Median(pixels[b]);
    state.counters[builds[b].first + "uploaded_per_tick"] = Median(uploads_per_tick[b]);
    state.counters[builds[b].first + "copied_per_tick"] = Median(copies_per_tick[b]);
    state.counters[builds[b].first + "scope_ticks"] = Median(ticks[b]);
  }
  // The scope, and the strips of the two lines (request and reply) an echo
  // adds to the log's 408-pixel-wide text.
  state.counters["goal_uploaded_per_tick"] = kScopeWidth * kScopeHeight + 2 * 408 * 13;
}
BENCHMARK(BM_SeriesOf50Echoes)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// The pointer enters the "Ping !" button: time from the pointer's move to
// the first changed pixel under it, median of 10 entries (each after the
// pointer left and the fade ended).
void BM_HoverFirstPixel(benchmark::State& state) {
  TRig rig;
  if (!rig.Ok()) {
    state.SkipWithError("no Xvfb with the DAMAGE extension");
    return;
  }
  const auto builds = Builds();
  std::vector<std::vector<double>> delays(builds.size());
  for (auto _ : state) {
    for (std::size_t b = 0; b < builds.size(); ++b) {
      const auto s = StartAndWaitPaint(*rig.watch, rig.xvfb.Display(), builds[b].second);
      if (!s) {
        state.SkipWithError("no painted main window");
        return;
      }
      TDamageLog log(rig.xvfb.Display(), s->window);
      const auto geometry = log.Geometry();
      if (!log.Ok() || !geometry) {
        Stop(s->pid);
        state.SkipWithError("no damage log of the main window");
        return;
      }
      const auto [wx, wy, ww, wh] = *geometry;
      // The frame is as wide on the left, the right and the bottom; the
      // button panel is the client's bottom 67 pixels, "Ping !" at 7,8
      // in it, 65 x 52.
      const int frame = (ww - kClientWidth) / 2;
      const int bx = frame + 7 + 32, by = wh - frame - 67 + 8 + 26;
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      for (int i = 0; i < 10; ++i) {
        log.Warp(0, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        log.Drain();
        std::vector<TDamage> damage;
        const auto t0 = Clock::now();
        log.Warp(wx + bx, wy + by);
        log.Collect(damage, std::chrono::seconds(2), [&](const std::vector<TDamage>& d) {
          return std::any_of(d.begin(), d.end(), [&](const TDamage& r) {
            return bx >= r.x && bx < r.x + r.w && by >= r.y && by < r.y + r.h;
          });
        });
        if (damage.empty()) continue;
        const auto hit = std::find_if(damage.begin(), damage.end(), [&](const TDamage& r) {
          return bx >= r.x && bx < r.x + r.w && by >= r.y && by < r.y + r.h;
        });
        if (hit != damage.end())
          delays[b].push_back(std::chrono::duration<double, std::milli>(hit->at - t0).count());
      }
      Stop(s->pid);
    }
  }
  for (std::size_t b = 0; b < builds.size(); ++b) {
    if (delays[b].empty()) {
      state.SkipWithError("the button never changed under the pointer");
      return;
    }
    state.counters[builds[b].first + "enter_to_pixel_ms"] = Median(delays[b]);
  }
}
BENCHMARK(BM_HoverFirstPixel)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
