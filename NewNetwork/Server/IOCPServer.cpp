#include "IOCPServer.h"

#include <winsock2.h>
#include <process.h>

#include "IoHandler.h"
#include "NewNetwork/Buffer/CommonBufferMgr.h"
#include "NewNetwork/Packet/LZOCompressor.h"

IOCPServer::IOCPServer(bool sendByThreadOnly)
    : m_bStop(0), m_bSendByThreadOnly(sendByThreadOnly ? 1 : 0), m_wsaStarted(false) {}

bool IOCPServer::Init(const IOHANDLER_DESC& desc, const BUFFER_POOL_DESC& pool) {
  CCommonBufferMgr::GetInstance().Init(1, &pool);
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  m_wsaStarted = true;
  if (data.wVersion != MAKEWORD(2, 2)) {
    WSACleanup();
    m_wsaStarted = false;
    return false;
  }
  m_table.reset(new HandlerTable());
  std::unique_ptr<IoHandler> handler(new IoHandler());
  handler->Init(desc, this, 1);
  Register(std::move(handler), desc.dwIoHandlerKey);
  m_sendThread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &SendThread, this, 0, nullptr)));
  return true;
}

bool IOCPServer::Register(std::unique_ptr<IoHandler> handler, uint32_t key) {
  NetHold hold(m_table->insertLock);
  if (key >= kHandlerSlots || m_table->inUse[key]) return false;  // not registered; destroyed here
  m_table->handlers[key] = std::move(handler);
  m_table->inUse[key] = 1;
  m_table->count += 1;
  return true;
}

IoHandler* IOCPServer::GetIoHandler(uint32_t key) {
  if (!m_table || key >= kHandlerSlots || !m_table->inUse[key]) return nullptr;
  return m_table->handlers[key].get();
}

unsigned __stdcall IOCPServer::SendThread(void* self) {
  IOCPServer* server = static_cast<IOCPServer*>(self);
  while (server->m_bStop == 0) {
    Sleep(2);
    for (uint32_t i = 0; i < kHandlerSlots; ++i)
      if (server->m_table->inUse[i]) server->m_table->handlers[i]->SendPass();
  }
  return 0;
}

void IOCPServer::Update() {
  if (!m_table) return;
  for (uint32_t i = 0; i < kHandlerSlots; ++i) {
    if (!m_table->inUse[i]) continue;
    IoHandler* handler = m_table->handlers[i].get();
    handler->Update(m_bStop != 0);
    if (m_bSendByThreadOnly == 0) handler->SendPass();
  }
}

IOCPServer::~IOCPServer() {
  if (m_bStop == 0) {
    InterlockedExchange(&m_bStop, 1);
    if (m_sendThread.IsValid()) WaitForSingleObject(m_sendThread.Get(), INFINITE);
    if (m_table) {
      for (uint32_t i = 0; i < kHandlerSlots; ++i) {
        if (!m_table->inUse[i]) continue;
        if (!m_table->handlers[i]->IsShutdown()) m_table->handlers[i]->Shutdown();
        m_table->handlers[i].reset();
        m_table->inUse[i] = 0;
      }
      m_table.reset();
    }
  }
  m_sendThread.Reset();
  if (m_wsaStarted) WSACleanup();
  CLZOCompressor::DeleteInstance();
}
