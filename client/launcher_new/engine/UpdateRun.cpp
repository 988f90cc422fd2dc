#include "UpdateRun.h"

#include "UpdateContext.h"
#include "UpdateDriver.h"
#include "common/Pack/ApplyPack.h"

UpdateRun::UpdateRun(IUpdateWindow* window) : m_context(new UpdateContext(window)) {}

UpdateRun::~UpdateRun() {}

bool UpdateRun::StartUpdateThread() {
  return !m_context->quitting && m_context->StartThread(&UpdateThread, m_context.get());
}

void UpdateRun::StartVersionUpdate(int32_t bigArea) { ::StartVersionUpdate(*m_context, bigArea); }

bool UpdateRun::StartGameClient() { return ::StartGameClient(*m_context); }

bool UpdateRun::StartLauncherSelfUpdate() { return ::StartLauncherSelfUpdate(*m_context); }

void UpdateRun::BeginQuit() {
  m_context->quitting = true;
  m_context->CancelDownload();
}

bool UpdateRun::IsQuitting() const { return m_context->quitting; }

void UpdateRun::SetLauncherLoginArgs(const char* args) { m_context->SetLauncherLoginArgs(args ? args : ""); }

UpdateStage UpdateRun::Stage() const { return m_context->Stage(); }

void UpdateRun::SetStage(UpdateStage stage) { m_context->SetStage(stage); }

int32_t UpdateRun::ProgressDone() const { return m_context->progressDone; }

int32_t UpdateRun::ProgressTotal() const { return m_context->progressTotal; }

void UpdateRun::SetProgress(int32_t done, int32_t total) {
  m_context->progressDone = done;
  m_context->progressTotal = total;
}

int32_t UpdateRun::FilesMerged() const { return PackClient::PackMergeProgress().handled; }

int32_t UpdateRun::FilesToMerge() const { return PackClient::PackMergeProgress().total; }

void UpdateRun::SetMergeProgress(int32_t merged, int32_t toMerge) { m_context->SetMergeProgress(merged, toMerge); }

int32_t UpdateRun::ClientCheckDone() const { return m_context->clientCheckDone; }

int32_t UpdateRun::ClientCheckTotal() const { return m_context->clientCheckTotal; }

LocalVersions UpdateRun::Local() const { return m_context->Local(); }

std::string UpdateRun::NewShowVersion() const { return m_context->NewShowVersion(); }

std::string UpdateRun::PendingShowVersion() const { return m_context->PendingShowVersion(); }

std::string UpdateRun::PatchFolder() const { return kPatchTemp; }

void UpdateRun::SetStageObserver(StageObserver observer, void* context) {
  m_context->SetStageObserver(observer, context);
}
