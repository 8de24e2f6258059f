// The window procedures: what happens when the window loads, unloads and a button is clicked.
// Platform-neutral; they reach the window only through Form, the library only through
// ClientLibrary and the desktop only through Shell.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "client/library.h"
#include "window/form.h"
#include "window/shell.h"

namespace webapitest {

// Every request passes this as its second argument: the timeout, in seconds.
inline constexpr std::int32_t kRequestTimeout = 90;

class FormProcedures : public FormEvents {
 public:
  using ShellFactory = std::function<std::unique_ptr<Shell>()>;

  // The form, the library and what the factory makes are used from the window's thread only.
  FormProcedures(Form& form, ClientLibrary& library, ShellFactory createShell);

  // Start-up and shut-down.
  void Form_Load() override;
  void Form_Unload(bool& cancel) override;

  // The request cycle.
  void StatusButton_Click() override;
  void MemRequestButton_Click() override;
  void FileRequestButton_Click() override;
  void RefreshButton_Click() override;

  // Output and editing.
  void ClearButton_Click() override;
  void ResetButton_Click() override;
  void RequestUrl_Click() override;
  void ReplyUrl_Click() override;

 private:
  // The steps of the request cycle that the commands share.
  void ResetRequestStatus();
  void ClearActiveLight();
  void BeginRequest();
  void FinishRequest(std::int32_t code);
  void SaveLastReply();
  void SaveLastFault();

  // Sets a light's colour (when given), its fill, and paints it at once.
  void SetLight(Control light, Fill fill, const Rgb* color = nullptr);
  void OpenPath(Control box);
  // status := the code as decimal text.
  void ShowCode(std::int32_t code);

  Form& form_;
  ClientLibrary& library_;
  ShellFactory createShell_;
  std::unique_ptr<Shell> shellApp_;
  bool started_ = false;  // webApiStartup has been called and webApiCleanup not yet
};

}  // namespace webapitest
