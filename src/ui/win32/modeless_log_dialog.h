#pragma once
// The common part of the Log and Validate windows: a modeless dialog from a
// template, created on the first Open and then only hidden and shown, that shows
// a log in a read-only edit control. The first Open creates the window hidden
// and shows it on the next message, so the two costly halves of opening it never
// hold the simulator's thread at once.
//
// Threads: the dialog belongs to the user-interface thread. A call from any other
// thread never waits for that thread: the work is queued under a small lock and a
// private message tells the dialog to carry it out. A call on the user-interface
// thread first carries out everything queued, then acts directly, so the order in
// which the log model called the view is the order the window shows.
#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "core/log_window.h"
#include "platform/sync.h"
#include "ui/log_view_work.h"
#include "ui/win32/window_icon.h"

namespace volantis::win32 {

class ModelessLogDialog : public LogView {
 public:
  ModelessLogDialog(HINSTANCE module, HWND parent, int template_id, int edit_id);
  ~ModelessLogDialog() override;
  ModelessLogDialog(const ModelessLogDialog&) = delete;
  ModelessLogDialog& operator=(const ModelessLogDialog&) = delete;

  void Open(const std::string& log_text) override;
  bool Exists() override;
  void AppendText(const std::string& text) override;
  void ClearText() override;
  bool PositionShown() override { return false; }
  void SetPosition(const std::string& latitude, const std::string& longitude, const std::string& altitude) override;
  void BlankPosition() override;
  bool ReadText(std::string& text) override;

  HWND window() const { return window_.load(); }

  // The private message that carries out queued work.
  static constexpr UINT kDrainMessage = WM_APP + 0x56;
  // The private message that shows a window the first Open created hidden.
  static constexpr UINT kShowMessage = WM_APP + 0x58;
  // True from the first Open until that message has shown the window.
  bool showing() const { return show_posted_; }
  // The position fields change at most this often: a position that comes
  // sooner waits (the newest one only) and is shown when the time is up, so the
  // monitor's 25 positions a second cost the simulator's thread ten repaints.
  static constexpr DWORD kPositionIntervalMs = 100;

 protected:
  // Handles a message of the dialog; returns true when it did (the dialog
  // procedure then returns TRUE). The base handles the queue and WM_INITDIALOG.
  virtual bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam) = 0;
  // After the window exists and the edit holds the earlier text.
  virtual void OnCreated() {}
  virtual void ApplyPosition(const std::string& latitude, const std::string& longitude, const std::string& altitude);
  virtual void ApplyBlankPosition() {}
  // Destroys the window; derived destructors call it first, so no message
  // reaches a half-destroyed object.
  void DestroyNow();
  bool OnWindowThread() const;
  HWND edit() const { return ::GetDlgItem(window(), edit_id_); }
  HICON icon() const { return icon_.get(); }

 private:
  using Pending = LogViewWork;

  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
  void Enqueue(Pending pending);
  void Drain();
  void ShowNow();
  void PacePosition(const Pending& position);
  void ShowDeferredPosition();
  void ShowPositionNow(const Pending& position);
  void DropDeferredPosition();
  void Apply(const Pending& pending);
  void ApplyAppend(const std::string& text);
  void ScrollToEnd();

  HINSTANCE module_;
  HWND parent_;
  int template_id_;
  int edit_id_;
  UniqueIcon icon_;
  std::atomic<HWND> window_{nullptr};
  std::string initial_text_;
  bool show_posted_ = false;  // user-interface thread only
  // The pacing of the position fields (user-interface thread only).
  bool position_shown_once_ = false;
  DWORD position_shown_at_ = 0;
  std::optional<Pending> deferred_position_;
  bool position_timer_ = false;

  CriticalSection queue_lock_;
  std::vector<Pending> queue_;
  bool drain_posted_ = false;
};

}  // namespace volantis::win32
