#include "NetworkObject.h"

#include <cstdio>

#include "NewNetwork/Packet/LZOCompressor.h"
#include "NewNetwork/Packet/PacketHeader.h"
#include "Session.h"
#include "common/EngineFun/Helper.h"

bool NetworkObject::Send(void* packet) {
  Session* session = GetSession();
  if (session == nullptr || session->IsClosePending() || session->ShouldClose()) return false;
  if (packet == nullptr) {
    ENGINE_REPORT("false&&\"指针为空\"");
    return false;
  }
  PACKET_HEADER* header = static_cast<PACKET_HEADER*>(packet);
  const uint32_t size = header->size;
  if (size == 0) return false;
  if (size > GetMaxPacketSize()) {
    ENGINE_REPORT("false&&\"消息过长不能发送\"");
    return false;
  }
  header->cMsgFlag = msgflag_normal;  // never sent compressed
  const uint16_t wSize = static_cast<uint16_t>(size & 0xFFFF);
  if (wSize < kMinPacketSize || wSize > GetMaxPacketSize()) return false;
  bool queued = session->Send(wSize, static_cast<const char*>(packet));
  if (header->cMsgFlag != msgflag_normal) ENGINE_REPORT("pMsg->header.cMsgFlag == msgflag_normal");
  return queued;
}

char* NetworkObject::DecompressPacket(char* out, char* packet, uint32_t received) {
  if (out == nullptr || packet == nullptr) {
    ENGINE_REPORT("false&&\"指针为空\"");
    return nullptr;
  }
  const uint32_t size = PacketSize(packet);
  // What the header claims must have arrived, compressed or not.
  const bool fits = static_cast<uint16_t>(size) <= static_cast<uint16_t>(received);
  PACKET_HEADER* header = reinterpret_cast<PACKET_HEADER*>(packet);
  if ((header->cMsgFlag & msgflag_lzo) == 0) {
    if (fits) return packet;
    ENGINE_REPORT("false&&\"消息接收有问题，请检查\"");
    return nullptr;
  }
  if (!fits || size < kPacketHeaderSize || size > received) {
    ENGINE_REPORT("false&&\"消息接收有问题，请检查\"");
    return nullptr;
  }
  EngineFunc::EngineFunc_MemZero(out, kDecompressAreaSize);
  size_t length = kDecompressAreaSize - kPacketHeaderSize;
  if (!CLZOCompressor::GetInstance()->DecompressSafe(packet + kPacketHeaderSize, size - kPacketHeaderSize,
                                                      out + kPacketHeaderSize, &length)) {
    printf("解压失败");
    ENGINE_REPORT("false&&\"解压失败\"");
    EngineFunc::EngineFunc_DebugPrint(0, "解压失败\n");
    return nullptr;
  }
  PACKET_HEADER* expanded = reinterpret_cast<PACKET_HEADER*>(out);
  expanded->size = static_cast<uint32_t>(length + kPacketHeaderSize);
  expanded->cMsgFlag = msgflag_normal;
  return out;
}
