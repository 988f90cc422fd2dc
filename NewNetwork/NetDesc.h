// What a program tells the network library about one kind of connection:
// the handler descriptor and the block pools of its sessions.
#pragma once
#include <cstdint>

class NetworkObject;

const uint32_t MAX_IO_WORKER_THREAD = 16;
const uint32_t MAX_ACCEPT_THREAD = 16;
const uint32_t MAX_CONNECT_THREAD = 16;

typedef NetworkObject* (*fnCallBackCreateAcceptedObject)();
typedef void (*fnCallBackDestroyAcceptedObject)(NetworkObject* object);
typedef void (*fnCallBackDestroyConnectedObject)(NetworkObject* object);

struct IOHANDLER_DESC {
  uint32_t dwIoHandlerKey;
  uint32_t dwMaxAcceptSession;
  uint32_t dwMaxConnectSession;
  uint32_t dwSendBufferSize;  // read by no operation
  uint32_t dwRecvBufferSize;  // read by no operation
  uint32_t dwTimeOut;         // idle time-out of accepted sessions, ms; 0 none
  uint32_t dwMaxPacketSize;   // largest packet accepted on receipt
  uint32_t dwNumberOfIoThreads;
  uint32_t dwNumberOfAcceptThreads;
  uint32_t dwNumberOfConnectThreads;
  uint32_t dwSessionValue;
  uint8_t bScramble;
  uint32_t dwSocketBufferSize;  // SO_SNDBUF/SO_RCVBUF and the largest receive; 0 defaults, 4096
  uint8_t bAcceptNoPause;
  fnCallBackCreateAcceptedObject fnCreateAcceptedObject;
  fnCallBackDestroyAcceptedObject fnDestroyAcceptedObject;
  fnCallBackDestroyConnectedObject fnDestroyConnectedObject;
  uint8_t bSessionFlag;
  uint32_t dwSendListMaxBlocks;  // 0: no limit
  uint32_t dwRecvListMaxBlocks;  // 0: no limit
};

struct BUFFER_POOL_DESC {
  uint32_t dwSendBlocksAtStart;
  uint32_t dwRecvBlocksAtStart;
  uint32_t dwExtraSendBlocksKept;
  uint32_t dwExtraRecvBlocksKept;
  uint32_t dwSendBlockSize;
  uint32_t dwRecvBlockSize;
};
