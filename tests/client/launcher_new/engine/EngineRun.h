// One engine run with its headless window, from the window's start.
#pragma once
#include <functional>
#include <memory>

#include "EngineTestUtil.h"
#include "EngineTestWindow.h"
#include "UpdateRun.h"

namespace enginetest {

const DWORD kRunLimit = 240000;

struct EngineRun {
  explicit EngineRun(ClientFolder& client) {
    window.Configure(client.Settings());
    run.reset(new UpdateRun(&window));
    window.Attach(run.get());
    run->SetStageObserver(&EngineTestWindow::OnStage, &window);
    run->SetLauncherLoginArgs(" 0 user key 1700000000 s1");
  }
  ~EngineRun() {
    run.reset();  // waits for the run's threads, pumping
    window.Attach(nullptr);
  }
  bool Until(const std::function<bool()>& done) {
    return run->StartUpdateThread() && window.RunUntil(done, kRunLimit);
  }
  bool UntilMessage(unsigned message) {
    return Until([this, message] {
      for (unsigned m : window.Messages())
        if (m == message) return true;
      return window.Quit();
    });
  }
  bool UntilStage(UpdateStage stage) {
    return Until([this, stage] { return run->Stage() == stage; });
  }
  EngineTestWindow window;
  std::unique_ptr<UpdateRun> run;
};

}  // namespace enginetest
