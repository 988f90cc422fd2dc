#include "ServerPing.h"

#include <cstring>

#include "NewNetwork/Packet/PacketHeader.h"
#include "NewNetwork/Server/IOCPServer.h"
#include "NewNetwork/Server/IoHandler.h"
#include "NewNetwork/Session/Session.h"
#include "ServerListIni.h"
#include "ServerSessionManager.h"
#include "common/EngineFun/Helper.h"
#include "common/ThreadBuffer.h"

namespace ServerPing {

namespace {

const size_t kEchoedTimeOffset = 10;

NetworkObject* NoAcceptedObject() { return nullptr; }
void DestroyNothing(NetworkObject*) {}

IOHANDLER_DESC PingHandlerDesc(uint32_t n) {
  IOHANDLER_DESC desc = {};
  desc.dwIoHandlerKey = 0;
  desc.dwMaxAcceptSession = 0;
  desc.dwMaxConnectSession = n;
  desc.dwSendBufferSize = 128;
  desc.dwRecvBufferSize = 128;
  desc.dwTimeOut = 180000;
  desc.dwMaxPacketSize = 128;
  desc.dwNumberOfIoThreads = 4;
  desc.dwNumberOfAcceptThreads = 0;
  desc.dwNumberOfConnectThreads = n < MAX_CONNECT_THREAD ? n : MAX_CONNECT_THREAD;
  desc.dwSessionValue = 30000;
  desc.bScramble = 1;
  desc.dwSocketBufferSize = 128;
  desc.bAcceptNoPause = 0;
  desc.fnCreateAcceptedObject = &NoAcceptedObject;
  desc.fnDestroyAcceptedObject = &DestroyNothing;
  desc.fnDestroyConnectedObject = &DestroyNothing;
  desc.bSessionFlag = 1;
  desc.dwSendListMaxBlocks = 0;
  desc.dwRecvListMaxBlocks = 0;
  return desc;
}

const BUFFER_POOL_DESC kPingPool = {1, 1, 2, 5, 128, 128};

}  // namespace

PingCounter::~PingCounter() {
  server.reset();
  sessions.clear();
}

PingServerSession::PingServerSession(PingCounter* counter, uint32_t entryIndex)
    : ServerSession(&ServerSessionManager::GetInstance()),
      m_counter(counter),
      m_entryIndex(entryIndex),
      m_lastRoundTrip(kNoRoundTrip) {}

void BuildPingMessage(char (&message)[kPingMessageSize], DWORD now) {
  memset(message, 0, sizeof(message));
  const uint32_t size = kPingMessageSize;
  memcpy(message, &size, 4);
  message[4] = static_cast<char>(msgflag_normal);
  memcpy(message + kPacketTypeOffset, &PING_MSG_TYPE, 2);
  memcpy(message + kEchoedTimeOffset, &now, 4);
}

uint16_t RoundTrip(DWORD now, uint16_t echoed) { return static_cast<uint16_t>(static_cast<uint16_t>(now) - echoed); }

void PingServerSession::OnConnect(bool success, uint32_t sessionId) {
  if (!success) {
    m_lastRoundTrip = kNoRoundTrip;
    InterlockedDecrement(&m_counter->outstanding);
    return;
  }
  ServerSession::OnConnect(true, sessionId);
  char message[kPingMessageSize];
  BuildPingMessage(message, timeGetTime());
  Send(message);
}

void PingServerSession::OnRecv(char* packet, uint32_t size) {
  char* buffer = CThreadBuffer::GetBuffer();
  if (buffer == nullptr) return;
  char* message = DecompressPacket(buffer + kDecompressAreaOffset, packet, size);
  if (message == nullptr) return;
  // The echoed time lies at offsets 10 and 11: a shorter answer has none.
  if (PacketSize(message) < kEchoedTimeOffset + 2) return;
  if (PacketType(message) != PING_MSG_TYPE) return;
  if (m_counter->measuring == 0) return;
  uint16_t echoed;
  memcpy(&echoed, message + kEchoedTimeOffset, 2);
  m_lastRoundTrip = RoundTrip(timeGetTime(), echoed);
  m_counter->list->SetPing(m_entryIndex, m_lastRoundTrip / 2);
  if (Session* session = GetSession()) session->SetClose();
}

void PingServerSession::OnDisconnect() {
  ServerSession::OnDisconnect();
  InterlockedDecrement(&m_counter->outstanding);
}

bool CreatePingServer(uint32_t n, PingCounter& counter) {
  counter.server.reset(new IOCPServer(true));
  bool started = counter.server->Init(PingHandlerDesc(n), kPingPool);
  for (uint32_t i = 0; i < n; ++i) counter.sessions.emplace_back(new PingServerSession(&counter, i));
  InterlockedExchange(&counter.outstanding, static_cast<LONG>(n));
  ConnectAllPingSessions(counter);
  return started;
}

void ConnectAllPingSessions(PingCounter& counter) {
  IoHandler* handler = counter.server ? counter.server->GetIoHandler(0) : nullptr;
  for (size_t i = 0; i < counter.sessions.size() && i < counter.rows.size(); ++i) {
    if (handler == nullptr) {
      ENGINE_REPORT("pIoHandler1");
      continue;
    }
    handler->Connect(counter.rows[i].ip.c_str(), counter.sessions[i].get(), counter.rows[i].pingport);
  }
}

void RunPing(ServerList& list, DWORD waitMs, PingRunStats* stats) {
  std::unique_ptr<PingCounter> counter;
  DWORD start = timeGetTime();
  try {
    counter.reset(new PingCounter(&list));
    counter->rows = list.Rows();
    CreatePingServer(static_cast<uint32_t>(counter->rows.size()), *counter);
    start = timeGetTime();
    while (counter->outstanding != 0 && timeGetTime() - start < waitMs) {
      counter->server->Update();
      Sleep(1);
    }
  } catch (...) {
    // Out of memory: the rows keep what they have; the callback still runs.
  }
  if (counter) InterlockedExchange(&counter->measuring, 0);
  if (stats != nullptr) {
    stats->waitMs = timeGetTime() - start;
    stats->outstandingAtEnd = counter ? counter->outstanding : 0;
  }
  SelectFastestPerGroup(list);
  list.Complete();
  if (counter) {
    PingCounter* run = counter.get();
    run->server.reset();
    if (stats != nullptr) stats->outstandingAfterTeardown = run->outstanding;
  }
}

unsigned __stdcall PingThreadProc(void* serverList) {
  if (serverList != nullptr) RunPing(*static_cast<ServerList*>(serverList), kPingWaitMs, nullptr);
  return 0;
}

void InstallNetworkPing() { SetPingThreadProc(&PingThreadProc); }

}  // namespace ServerPing
