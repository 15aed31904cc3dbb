// fs9.exe, the stand-in simulator: opens a main window of class "FS98MAIN",
// gives it a menu bar (at once or late), loads the stand-in core module and
// Modules\Volantis.dll from its own folder, calls the module's init entry the
// way the host does, and then obeys a plain-text script while running a normal
// message loop. Everything it observes goes to standard output, one line each.
//
//   fs9.exe [--menu-delay MS|never] [--window-class NAME] [--no-window]
//           [--no-module] SCRIPT
//
// See README.md for the script's steps.
#include <windows.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/host_values.h"
#include "linkage_view.h"
#include "sim_memory.h"
#include "sim_output.h"
#include "sim_window.h"
#include "ui_delay_probe.h"
#include "window_capture.h"

namespace fs9sim {
namespace {

// How many steps the UI-DELAY report names, worst first.
constexpr size_t kUiDelayStepsShown = 6;

struct Options {
  int menu_delay_ms = 0;  // -1: only the script gives the bar
  std::string window_class = "FS98MAIN";
  bool create_window = true;
  bool load_module = true;
  std::string script;
};

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
  Say("CRASH code=0x%08lx address=%p", info->ExceptionRecord->ExceptionCode, info->ExceptionRecord->ExceptionAddress);
  ::ExitProcess(70);
}

std::string ExeFolder() {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  const size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? "." : folder.substr(0, slash);
}

bool ParseNumber(const std::string& text, uint32_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
  if (*end != '\0' || parsed > 0xFFFFFFFFull) return false;
  value = static_cast<uint32_t>(parsed);
  return true;
}

bool ParseDouble(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return *end == '\0';
}

// Answers the modal dialogs the module opens on this thread, so scripted runs can go
// through its message boxes and modal dialogs.
enum class DialogAnswer { kNone, kYes, kNo };
DialogAnswer g_dialog_answer = DialogAnswer::kNone;
std::set<HWND> g_answered;

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

BOOL CALLBACK AnswerDialog(HWND window, LPARAM) {
  char class_name[32] = {};
  ::GetClassNameA(window, class_name, sizeof(class_name));
  if (std::strcmp(class_name, "#32770") != 0 || !::IsWindowVisible(window) || g_answered.count(window)) return TRUE;
  // Only the modal one that runs: it disables its owner and is the active window;
  // the module's modeless windows stay open.
  HWND owner = ::GetWindow(window, GW_OWNER);
  if (!owner || ::IsWindowEnabled(owner) || ::GetActiveWindow() != window) return TRUE;
  g_answered.insert(window);
  char caption[256] = {}, text[1024] = {};
  ::GetWindowTextA(window, caption, sizeof(caption));
  ::GetDlgItemTextA(window, 0xFFFF, text, sizeof(text));
  Say("DIALOG %u caption=\"%s\" text=\"%s\"", static_cast<unsigned>(g_answered.size()), caption, text);
  const bool yes = g_dialog_answer == DialogAnswer::kYes;
  int button = yes ? IDYES : IDNO;
  if (!::GetDlgItem(window, button)) button = yes ? IDOK : IDCANCEL;
  Say("DIALOG answer=%d", button);
  ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  return TRUE;
}

// Armed by "unload modal": the first modal box of the module that runs is
// where the host unloads the module, from inside that box's loop.
bool g_unload_in_modal = false;
void (*g_unload_now)() = nullptr;

BOOL CALLBACK UnloadInModal(HWND window, LPARAM) {
  char class_name[32] = {};
  ::GetClassNameA(window, class_name, sizeof(class_name));
  if (!g_unload_in_modal || std::strcmp(class_name, "#32770") != 0 || !::IsWindowVisible(window)) return TRUE;
  HWND owner = ::GetWindow(window, GW_OWNER);
  if (!owner || ::IsWindowEnabled(owner) || ::GetActiveWindow() != window) return TRUE;
  g_unload_in_modal = false;
  char caption[256] = {};
  ::GetWindowTextA(window, caption, sizeof(caption));
  Say("UNLOAD inside modal caption=\"%s\"", caption);
  if (g_unload_now) g_unload_now();
  Say("UNLOAD inside modal returned, box %s", ::IsWindow(window) ? "open" : "closed");
  return FALSE;
}

void CALLBACK DialogTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_unload_in_modal) ::EnumThreadWindows(::GetCurrentThreadId(), UnloadInModal, 0);
  if (g_dialog_answer != DialogAnswer::kNone) ::EnumThreadWindows(::GetCurrentThreadId(), AnswerDialog, 0);
}

DWORD WINAPI CallDeinit(LPVOID deinit) {
  reinterpret_cast<void (*)()>(deinit)();
  return 0;
}

class Simulator;
Simulator* g_simulator = nullptr;

class Simulator {
 public:
  explicit Simulator(const Options& options) : options_(options) {}

  int Run() {
    if (!LoadScript()) return 2;
    std::string error;
    if (!memory_.Load(ExeFolder(), error)) {
      Say("GLOBAL error: %s", error.c_str());
      return 4;
    }
    Say("GLOBAL ok");
    if (options_.create_window) {
      if (!window_.Create(options_.window_class.c_str())) {
        Say("WINDOW error %lu", ::GetLastError());
        return 5;
      }
      Say("WINDOW class=%s", options_.window_class.c_str());
      if (options_.menu_delay_ms == 0) {
        window_.GiveMenuBar();
      } else if (options_.menu_delay_ms > 0) {
        window_.GiveMenuBarAfter(static_cast<UINT>(options_.menu_delay_ms));
      }
    } else {
      Say("WINDOW none");
    }
    if (options_.load_module && !LoadModule()) return 6;
    g_simulator = this;
    g_unload_now = [] {
      if (g_simulator->module_) g_simulator->Unload();
    };
    dialog_timer_ = ::SetTimer(nullptr, 0, 100, DialogTimer);

    if (!probe_.Start()) Say("UI-DELAY probe could not start (error %lu)", ::GetLastError());

    int code = 0;
    for (size_t i = 0; i < lines_.size() && !quit_; ++i) {
      probe_.SetStep(steps_[i].c_str(), i + 1);
      if (!RunStep(i + 1, lines_[i], code)) return 2;
      Pump(0);
    }
    if (module_) Unload();
    SayUiDelay();
    Say("EXIT %d", code);
    return code;
  }

 private:
  bool LoadScript() {
    FILE* file = std::fopen(options_.script.c_str(), "r");
    if (!file) {
      Say("SCRIPT cannot open %s", options_.script.c_str());
      return false;
    }
    char line[1024];
    while (std::fgets(line, sizeof(line), file)) {
      lines_.emplace_back(line);
      std::string step = line;
      step.erase(step.find_last_not_of("\r\n") + 1);
      steps_.push_back(step);
    }
    std::fclose(file);
    return true;
  }

  bool LoadModule() {
    const std::string path = ExeFolder() + "\\Modules\\Volantis.dll";
    module_ = ::LoadLibraryA(path.c_str());
    if (!module_) {
      Say("MODULE error %lu loading %s", ::GetLastError(), path.c_str());
      return false;
    }
    const auto* imports = reinterpret_cast<const uint32_t*>(::GetProcAddress(module_, "ImportTable"));
    const auto* linkage = reinterpret_cast<const LinkageView*>(::GetProcAddress(module_, "Linkage"));
    if (!imports || !linkage) {
      Say("MODULE records missing");
      return false;
    }
    Say("MODULE loaded");
    Say("IMPORTS %08x %08x %08x %08x", imports[0], imports[1], imports[2], imports[3]);
    Say("LINKAGE id=%08x flags=%08x module_version=%08x host_version=%08x last=%08x", linkage->module_id,
        linkage->flags, linkage->module_version, linkage->host_version, linkage->last);
    const uintptr_t base = reinterpret_cast<uintptr_t>(module_);
    const auto* headers =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const uintptr_t end = base + headers->OptionalHeader.SizeOfImage;
    for (const uintptr_t entry : {linkage->init, linkage->deinit}) {
      if (entry < base || entry >= end) {
        Say("LINKAGE entry %d outside the module", entry == linkage->init ? 1 : 2);
        return false;
      }
    }
    deinit_ = reinterpret_cast<void (*)()>(linkage->deinit);
    reinterpret_cast<void (*)()>(linkage->init)();
    Say("INIT called");
    return true;
  }

  // Unloading happens here, in the host's own loop, never from inside a message.
  // Prints how long the quit kept the loop: the deinit entry and FreeLibrary.
  void Unload() {
    LARGE_INTEGER frequency, start, deinit_done, freed;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    if (deinit_) deinit_();
    deinit_ = nullptr;
    ::QueryPerformanceCounter(&deinit_done);
    ::FreeLibrary(module_);
    module_ = nullptr;
    ::QueryPerformanceCounter(&freed);
    Say("MODULE unloaded");
    auto ms = [&](const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
      return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    };
    Say("QUIT ms=%.1f deinit_ms=%.1f freelibrary_ms=%.1f", ms(start, freed), ms(start, deinit_done),
        ms(deinit_done, freed));
  }

  // The deinit entry on a thread of its own, as a host that ends its add-ons
  // from another thread; this thread pumps its messages meanwhile or, when
  // pump is false, waits without pumping (a host whose user-interface thread is
  // busy). Then the host unloads the module here.
  void UnloadFromAnotherThread(bool pump) {
    LARGE_INTEGER frequency, start, deinit_done;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    HANDLE thread = ::CreateThread(nullptr, 0, CallDeinit, reinterpret_cast<LPVOID>(deinit_), 0, nullptr);
    if (!thread) {
      Say("DEINIT thread error %lu", ::GetLastError());
      return;
    }
    deinit_ = nullptr;
    if (pump) {
      while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
          ::TranslateMessage(&message);
          ::DispatchMessageA(&message);
        }
      }
    } else {
      ::WaitForSingleObject(thread, INFINITE);
    }
    ::CloseHandle(thread);
    ::QueryPerformanceCounter(&deinit_done);
    ::FreeLibrary(module_);
    module_ = nullptr;
    Say("MODULE unloaded from another thread (%s)", pump ? "pumping" : "not pumping");
    Say("DEINIT-THREAD ms=%.1f",
        static_cast<double>(deinit_done.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart));
  }

  // The worst delivery delay of the user-interface thread's messages so far,
  // with the script step that ran then.
  void SayUiDelay() {
    Say("UI-DELAY worst_ms=%.1f step=\"%s\" probes=%lld over_20ms=%lld p99_ms=%.0f p99.9_ms=%.0f", probe_.worst_ms(),
        probe_.worst_step(), static_cast<long long>(probe_.delivered()), static_cast<long long>(probe_.over_20ms()),
        probe_.Percentile(0.99), probe_.Percentile(0.999));
    // Where the late messages came: the steps with the worst delays (a step
    // counts the messages delivered from its start to the next step's).
    for (const auto& step : probe_.WorstSteps(kUiDelayStepsShown)) {
      if (step.delivered == 0) continue;
      Say("UI-DELAY-STEP worst_ms=%.1f over_20ms=%lld probes=%lld line=%u step=\"%s\"", step.worst_ms,
          static_cast<long long>(step.over_20ms), static_cast<long long>(step.delivered),
          static_cast<unsigned>(step.line), step.step);
    }
    // What held the loop: its slowest pieces of work.
    for (const auto& work : probe_.SlowestWork()) {
      Say("UI-SLOW ms=%.1f line=%u step=\"%s\" %s", work.ms, static_cast<unsigned>(work.line), work.step, work.what);
    }
  }

  static double Milliseconds() {
    static const double ticks_per_ms = [] {
      LARGE_INTEGER frequency;
      ::QueryPerformanceFrequency(&frequency);
      return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticks_per_ms;
  }

  // PeekMessage, timed: messages that other threads sent to this thread's
  // windows run inside it.
  bool TimedPeek(MSG& message) {
    const double began = Milliseconds();
    const bool got = ::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != FALSE;
    probe_.NoteWork(Milliseconds() - began, nullptr);
    return got;
  }

  // Runs the message loop for the given time.
  void Pump(DWORD milliseconds) {
    probe_.LoopEntered();
    const DWORD start = ::GetTickCount();
    for (;;) {
      MSG message;
      while (TimedPeek(message)) {
        if (message.message == WM_QUIT) {
          quit_ = true;
          return;
        }
        if (message.hwnd == nullptr && message.message == WM_TIMER && message.wParam != dialog_timer_) {
          ++thread_timer_ticks_;
        }
        ::TranslateMessage(&message);
        const double began = Milliseconds();
        ::DispatchMessageA(&message);
        probe_.NoteWork(Milliseconds() - began, &message);
      }
      const DWORD elapsed = ::GetTickCount() - start;
      if (elapsed >= milliseconds) return;
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
    }
  }

  bool NeedWindow(size_t number) {
    if (window_.handle()) return true;
    Say("SCRIPT line %u: this step needs the main window", static_cast<unsigned>(number));
    return false;
  }

  // Sends one message and checks that the host's procedure saw it exactly once
  // with the same parameters and that its answer came back.
  void SendChecked(UINT message, WPARAM word_param, LPARAM long_param) {
    const size_t before = window_.received().size();
    const LRESULT result = ::SendMessageA(window_.handle(), message, word_param, long_param);
    int seen = 0;
    const auto& received = window_.received();
    for (size_t i = before; i < received.size(); ++i) {
      if (received[i].message == message && received[i].word_param == word_param &&
          received[i].long_param == long_param) {
        ++seen;
      }
    }
    const LRESULT expected = SimWindow::HostResult(message, word_param, long_param);
    const bool passed = seen == 1 && (!SimWindow::IsTestMessage(message) || result == expected);
    // Only test messages carry a known answer; for the others the count tells.
    char host[16] = "-";
    if (SimWindow::IsTestMessage(message)) {
      std::snprintf(host, sizeof(host), "0x%08lx", static_cast<unsigned long>(expected));
    }
    Say("SEND msg=0x%04x wp=0x%08lx lp=0x%08lx result=0x%08lx host=%s seen=%d %s", message,
        static_cast<unsigned long>(word_param), static_cast<unsigned long>(long_param),
        static_cast<unsigned long>(result), host, seen, passed ? "PASSED-THROUGH" : "ALTERED");
  }

  bool RunStep(size_t number, const std::string& line, int& code) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    if (words.empty() || words[0][0] == '#') return true;
    const std::string& step = words[0];
    auto bad = [&](const char* why) {
      Say("SCRIPT line %u: %s: %s", static_cast<unsigned>(number), why, line.c_str());
      return false;
    };
    uint32_t a = 0, b = 0, c = 0;
    double value = 0;

    if (step == "wait" && words.size() == 2 && ParseNumber(words[1], a)) {
      Pump(a);
    } else if (step == "post" && words.size() == 2 && ParseNumber(words[1], a)) {
      if (!NeedWindow(number)) return false;
      ::PostMessageA(window_.handle(), WM_COMMAND, a, 0);
    } else if (step == "send" && (words.size() == 2 || words.size() == 3) && ParseNumber(words[1], a) &&
               (words.size() == 2 || ParseNumber(words[2], b))) {
      if (!NeedWindow(number)) return false;
      SendChecked(WM_COMMAND, a, static_cast<LPARAM>(b));
    } else if (step == "timed" && words.size() == 2 && ParseNumber(words[1], a)) {
      // How long the module keeps the user-interface thread on one command.
      if (!NeedWindow(number)) return false;
      LARGE_INTEGER frequency, before, after;
      ::QueryPerformanceFrequency(&frequency);
      ::QueryPerformanceCounter(&before);
      ::SendMessageA(window_.handle(), WM_COMMAND, a, 0);
      ::QueryPerformanceCounter(&after);
      Say("TIMED wp=0x%08x ms=%.3f", a,
          static_cast<double>(after.QuadPart - before.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart));
    } else if (step == "sendmsg" && words.size() == 4 && ParseNumber(words[1], a) && ParseNumber(words[2], b) &&
               ParseNumber(words[3], c)) {
      if (!NeedWindow(number)) return false;
      SendChecked(a, b, static_cast<LPARAM>(c));
    } else if (step == "received" && words.size() == 2 && ParseNumber(words[1], a)) {
      int count = 0;
      for (const ReceivedMessage& m : window_.received()) {
        if (m.message == WM_COMMAND && m.word_param == a && m.long_param == 0) ++count;
      }
      Say("RECEIVED wp=0x%08x count=%d", a, count);
    } else if (step == "hotkey" && words.size() <= 2 && (words.size() == 1 || ParseNumber(words[1], a))) {
      if (!NeedWindow(number)) return false;
      ::PostMessageA(window_.handle(), WM_HOTKEY, a, 0);
    } else if (step == "menupick" && words.size() == 3 && words[1].size() == 1 && words[2].size() == 1) {
      if (!NeedWindow(number)) return false;
      PickFromMenu(words[1][0], words[2][0]);
    } else if (step == "exit" && words.size() == 2 && ParseNumber(words[1], a)) {
      // Ends the process the hard way, module still loaded, as a host that never unloads.
      Say("EXITING %u", a);
      ::ExitProcess(a);
    } else if (step == "windows" && words.size() == 1) {
      PrintWindows();
    } else if (step == "text" && words.size() >= 2) {
      const size_t start = line.find_first_not_of(" \t", line.find("text") + 4);
      const size_t end = line.find_last_not_of(" \t\r\n");
      PrintWindowText(line.substr(start, end - start + 1));
    } else if (step == "ncpaint" && words.size() == 1) {
      if (!NeedWindow(number)) return false;
      ::SendMessageA(window_.handle(), WM_NCPAINT, 1, 0);
    } else if (step == "menubar" && words.size() == 2) {
      if (!NeedWindow(number)) return false;
      if (words[1] == "give") {
        window_.GiveMenuBar();
      } else if (words[1] == "replace") {
        window_.ReplaceMenuBar();
      } else if (words[1] == "marked") {
        window_.GiveMarkedMenuBar();
      } else if (words[1] == "print") {
        window_.PrintMenuBar();
      } else {
        return bad("menubar takes give, replace, marked or print");
      }
    } else if (step == "watch" && words.size() == 3 && ParseNumber(words[1], a) && ParseNumber(words[2], b)) {
      window_.Watch(a, b);
    } else if (step == "waitfor" && words.size() == 3 && words[1] == "hooked" && ParseNumber(words[2], a)) {
      if (!NeedWindow(number)) return false;
      // Runs the loop until the module has subclassed the window, at most MS.
      const DWORD start = ::GetTickCount();
      while (window_.OwnProcedureInstalled() && ::GetTickCount() - start < a && !quit_) Pump(10);
      if (window_.OwnProcedureInstalled()) {
        Say("WAITFOR hooked timed out");
      } else {
        Say("WAITFOR hooked");
      }
    } else if (step == "timers" && words.size() == 1) {
      Say("TIMERS ticks=%d", thread_timer_ticks_);
      thread_timer_ticks_ = 0;
    } else if (step == "wndproc" && words.size() == 1) {
      if (!NeedWindow(number)) return false;
      Say("WNDPROC %s", window_.OwnProcedureInstalled() ? "own" : "replaced");
    } else if (step == "subclass" && words.size() == 1) {
      // Another add-on subclasses the main window over whatever is installed now.
      if (!NeedWindow(number)) return false;
      window_.SubclassForeign();
    } else if (step == "mapped" && words.size() == 1) {
      Say("MAPPED %s", ::GetModuleHandleA("Volantis.dll") ? "yes" : "no");
    } else if (step == "mapped" && words.size() == 2 && ParseNumber(words[1], a)) {
      // A worker that ends after the unload keeps the module mapped until it
      // has: wait for it, at most MS, running the loop meanwhile.
      const DWORD start = ::GetTickCount();
      while (::GetModuleHandleA("Volantis.dll") != nullptr && ::GetTickCount() - start < a) Pump(20);
      Say("MAPPED %s", ::GetModuleHandleA("Volantis.dll") ? "yes" : "no");
    } else if (step == "playing" && words.size() == 1) {
      Say("SOUND %s", SoundPlaying() ? "playing" : "idle");
    } else if (step == "set" && words.size() == 3 && ParseDouble(words[2], value)) {
      if (words[1] == "lat") {
        memory_.SetLatitude(value);
      } else if (words[1] == "lon") {
        memory_.SetLongitude(value);
      } else if (words[1] == "alt") {
        memory_.SetAltitude(value);
      } else if (words[1] == "slew") {
        memory_.SetSlew(static_cast<uint16_t>(value));
      } else if (words[1] == "crash") {
        memory_.SetCrashDetection(static_cast<int8_t>(value));
      } else if (words[1] == "collisions") {
        memory_.SetCollisions(static_cast<int8_t>(value));
      } else if (words[1] == "rate") {
        memory_.SetRate(value);
      } else {
        return bad("set takes lat, lon, alt, slew, crash, collisions or rate");
      }
    } else if (step == "values" && words.size() == 1) {
      memory_.PrintValues();
    } else if (step == "fly" && words.size() == 2) {
      if (!Fly(words[1])) return bad("cannot fly this track");
    } else if (step == "dialogs" && words.size() == 2) {
      if (words[1] == "yes") {
        g_dialog_answer = DialogAnswer::kYes;
      } else if (words[1] == "no") {
        g_dialog_answer = DialogAnswer::kNo;
      } else if (words[1] == "off") {
        g_dialog_answer = DialogAnswer::kNone;
      } else {
        return bad("dialogs takes yes, no or off");
      }
    } else if (step == "screenshot" && words.size() == 2) {
      Screenshot(words[1]);
    } else if (step == "move" && words.size() >= 4) {
      // move X Y CAPTION: place one of this process's windows, e.g. to lay the
      // module's windows side by side before a capture.
      const std::string caption = line.substr(line.find(words[3]));
      HWND target = ::FindWindowA(nullptr, caption.substr(0, caption.find_last_not_of("\r\n") + 1).c_str());
      if (!target || !ParseNumber(words[1], a) || !ParseNumber(words[2], b)) {
        Say("MOVE %s failed", caption.c_str());
      } else {
        ::SetWindowPos(target, nullptr, static_cast<int>(a), static_cast<int>(b), 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        Say("MOVE ok");
      }
    } else if (step == "capture" && words.size() == 2) {
      const std::string path = words[1] + ".bmp";
      Say(fs9sim::CaptureThreadWindows(path) ? "CAPTURE %s" : "CAPTURE %s failed", path.c_str());
    } else if (step == "echo") {
      Say("ECHO %s", line.size() > 5 ? line.substr(5, line.find_last_not_of("\r\n") - 4).c_str() : "");
    } else if (step == "unload" && words.size() == 1) {
      if (module_) Unload();
    } else if (step == "unload" && words.size() == 2 && (words[1] == "thread" || words[1] == "thread-busy")) {
      if (module_ && deinit_) UnloadFromAnotherThread(words[1] == "thread");
    } else if (step == "unload" && words.size() == 2 && words[1] == "modal") {
      // Arms the unload inside the next modal box of the module.
      g_unload_in_modal = true;
    } else if (step == "uidelay" && words.size() == 1) {
      SayUiDelay();
    } else if (step == "deinit" && words.size() == 1) {
      // The deinit entry alone, the module staying loaded.
      if (deinit_) deinit_();
      Say("DEINIT called");
    } else if (step == "quit" && words.size() <= 2 && (words.size() == 1 || ParseNumber(words[1], a))) {
      code = static_cast<int>(a);
      quit_ = true;
    } else {
      return bad("unknown step or bad arguments");
    }
    return true;
  }

  // Whether the process plays a sound now: a sound asked for with SND_NOSTOP
  // yields to one that plays (the call then fails). When nothing played, the
  // probe's own silence is stopped again.
  static bool SoundPlaying() {
    using PlaySoundFunction = BOOL(WINAPI*)(LPCSTR, HMODULE, DWORD);
    HMODULE winmm = ::LoadLibraryA("winmm.dll");
    if (winmm == nullptr) return false;
    auto play = reinterpret_cast<PlaySoundFunction>(
        reinterpret_cast<void*>(::GetProcAddress(winmm, "PlaySoundA")));
    bool playing = false;
    if (play != nullptr) {
      // A RIFF wave of 8 silent bytes: 8-bit mono at 8000 Hz.
      static const unsigned char kSilence[52] = {
          'R', 'I', 'F', 'F', 44, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0, 0x40,
          0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0, 'd', 'a', 't', 'a', 8, 0, 0, 0, 128, 128, 128, 128, 128, 128,
          128, 128};
      const DWORD kMemory = 0x0004, kAsync = 0x0001, kNoStop = 0x0010;  // SND_MEMORY, SND_ASYNC, SND_NOSTOP
      playing = !play(reinterpret_cast<LPCSTR>(kSilence), nullptr, kMemory | kAsync | kNoStop);
      if (!playing) play(nullptr, nullptr, 0);
    }
    ::FreeLibrary(winmm);
    return playing;
  }

  static std::vector<HWND> ThreadWindows() {
    std::vector<HWND> windows;
    ::EnumThreadWindows(::GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
  }

  static std::string WindowText(HWND window) {
    const int length = ::GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(::GetWindowTextA(window, &text[0], length + 1)));
    return text;
  }

  // The top-level windows of this thread other than the main window.
  void PrintWindows() {
    for (HWND window : ThreadWindows()) {
      if (window == window_.handle() || !::IsWindowVisible(window)) continue;
      char class_name[64] = {};
      ::GetClassNameA(window, class_name, sizeof(class_name));
      Say("OPEN-WINDOW class=%s caption=\"%s\"", class_name, WindowText(window).c_str());
    }
  }

  // Every line of every edit control in the visible window with this caption.
  void PrintWindowText(const std::string& caption) {
    for (HWND window : ThreadWindows()) {
      if (!::IsWindowVisible(window) || WindowText(window) != caption) continue;
      for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        char class_name[16] = {};
        ::GetClassNameA(child, class_name, sizeof(class_name));
        if (_stricmp(class_name, "Edit") != 0) continue;
        std::istringstream lines(WindowText(child));
        for (std::string text_line; std::getline(lines, text_line);) {
          if (!text_line.empty() && text_line.back() == '\r') text_line.pop_back();
          Say("TEXT| %s", text_line.c_str());
        }
      }
      return;
    }
    Say("TEXT no window \"%s\"", caption.c_str());
  }

  // Opens a top-level menu by its mnemonic the way the keyboard does (Alt+letter)
  // and chooses an item by its mnemonic, typed as real key strokes.
  void PickFromMenu(char menu_letter, char item_letter) {
    ::SetForegroundWindow(window_.handle());
    ::SetFocus(window_.handle());
    ::PostMessageA(window_.handle(), WM_SYSCOMMAND, SC_KEYMENU,
                   static_cast<LPARAM>(std::tolower(static_cast<unsigned char>(menu_letter))));
    INPUT keys[2] = {};
    const WORD key = static_cast<WORD>(std::toupper(static_cast<unsigned char>(item_letter)));
    keys[0].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = key;
    keys[1] = keys[0];
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, keys, sizeof(INPUT));
    Say("MENUPICK %c %c", menu_letter, item_letter);
  }

  // The harness saves the screen when it reads the marker line and then creates
  // NAME.shot-done in the working folder; without a harness the wait ends after 10 s.
  void Screenshot(const std::string& name) {
    const std::string done = name + ".shot-done";
    ::DeleteFileA(done.c_str());
    Say("SCREENSHOT %s", name.c_str());
    for (int i = 0; i < 200 && !quit_; ++i) {
      if (::GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES) return;
      Pump(50);
    }
    Say("SCREENSHOT %s not taken", name.c_str());
  }

  // A recorded track: the header, then one row a 40 ms sample, written in real
  // time. Columns: counter (ignored), lat_raw, lon_raw, alt_raw, rate_raw,
  // crash, slew, paused (ignored here).
  bool Fly(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return false;
    char line[512];
    std::fgets(line, sizeof(line), file);  // header
    int rows = 0;
    const DWORD start = ::GetTickCount();
    while (std::fgets(line, sizeof(line), file) && !quit_) {
      long long v[8] = {};
      if (std::sscanf(line, "%lld,%lld,%lld,%lld,%lld,%lld,%lld,%lld", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                      &v[6], &v[7]) < 7) {
        continue;  // a blank or damaged row: the previous values stay
      }
      memory_.WriteInt64(volantis::kOffsetLatitude, v[1]);
      memory_.WriteInt64(volantis::kOffsetLongitude, v[2]);
      memory_.WriteInt64(volantis::kOffsetAltitude, v[3]);
      memory_.WriteInt16(volantis::kOffsetSimulationRate, static_cast<int16_t>(v[4]));
      memory_.WriteInt8(volantis::kOffsetCrashDetection, static_cast<int8_t>(v[5]));
      memory_.WriteInt16(volantis::kOffsetSlew, static_cast<int16_t>(v[6]));
      ++rows;
      const DWORD due = static_cast<DWORD>(rows) * 40;
      const DWORD elapsed = ::GetTickCount() - start;
      Pump(due > elapsed ? due - elapsed : 0);
    }
    std::fclose(file);
    Say("FLY rows=%d", rows);
    return true;
  }

  Options options_;
  std::vector<std::string> lines_;
  std::vector<std::string> steps_;  // the lines without their line ends
  SimWindow window_;
  fs9sim::UiDelayProbe probe_;
  SimMemory memory_;
  HMODULE module_ = nullptr;
  void (*deinit_)() = nullptr;
  UINT_PTR dialog_timer_ = 0;
  int thread_timer_ticks_ = 0;
  bool quit_ = false;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--menu-delay" && i + 1 < argc) {
      const std::string value = argv[++i];
      options.menu_delay_ms = value == "never" ? -1 : std::atoi(value.c_str());
    } else if (arg == "--window-class" && i + 1 < argc) {
      options.window_class = argv[++i];
    } else if (arg == "--no-window") {
      options.create_window = false;
    } else if (arg == "--no-module") {
      options.load_module = false;
    } else if (!arg.empty() && arg[0] != '-' && options.script.empty()) {
      options.script = arg;
    } else {
      return false;
    }
  }
  return !options.script.empty();
}

}  // namespace
}  // namespace fs9sim

int main(int argc, char** argv) {
  ::SetUnhandledExceptionFilter(fs9sim::OnCrash);
  fs9sim::Options options;
  if (!fs9sim::ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: fs9.exe [--menu-delay MS|never] [--window-class NAME] [--no-window] [--no-module] SCRIPT\n");
    return 2;
  }
  fs9sim::Simulator simulator(options);
  return simulator.Run();
}
