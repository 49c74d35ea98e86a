// Feeds arbitrary bytes as replies to every function of the newer configurator, in both address
// modes, through the reply checks and the CRC check. Aborts when a reply is accepted without what
// acceptance requires: a good CRC, the right function byte, the address rule and a byte count that
// fits the bytes that arrived.
#include "ModbusRtu.h"

#include <cstdlib>
#include <vector>

using namespace modbus;

namespace {

void require(bool cond) {
    if (!cond)
        std::abort();
}

constexpr std::uint8_t Functions[] = {3, 7, 16, 17, 100, 101, 102, 4, 0x83};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    ReplyContext ctx;
    ctx.funcCode = Functions[data[0] % std::size(Functions)];
    ctx.isChangeSlaveAddr = data[1] & 1;
    ctx.step = static_cast<std::uint8_t>(data[1] >> 1);
    ctx.regCount = data[2];
    ctx.slaveAddr = data[3];
    // The reply lives in a buffer of exactly its own size, so any read past it is caught.
    const std::vector<std::uint8_t> reply(data + 4, data + size);
    const int n = static_cast<int>(reply.size());

    for (std::uint16_t count = 2; count + 2 <= n; ++count)
        (void)CheckModbusCRC(reply.data(), count);

    const ReplyCheck r = CheckReply(ctx, reply.empty() ? nullptr : reply.data(), n);
    if (r.status == ReplyCheck::Failed)
        require(!r.error.isEmpty());
    if (!r.ok())
        return 0;

    require(n >= 5);
    require(r.error.isEmpty());
    const bool addrOk =
        reply[0] == ctx.slaveAddr || (ctx.isChangeSlaveAddr && (ctx.funcCode == 3 || ctx.funcCode == 16));
    require(addrOk);
    switch (ctx.funcCode) {
    case 3:
    case 17:
        require(reply[1] == ctx.funcCode);
        require(r.dataOffset == 3 && r.dataLength == reply[2] && r.dataLength <= MaxReplyByteCount);
        require(r.dataOffset + r.dataLength + 2 <= n);
        require(CheckModbusCRC(reply.data(), static_cast<std::uint16_t>(r.dataLength + 3)));
        if (ctx.funcCode == 3)
            require(n >= 2 * ctx.regCount + 5);
        break;
    case 16:
        require(n >= 8 && reply[1] == 16 && CheckModbusCRC(reply.data(), 6));
        break;
    case 7:
    case 100:
    case 101:
    case 102:
        require(n == 5 && reply[1] == ctx.funcCode && CheckModbusCRC(reply.data(), 3));
        require(r.value == reply[2]);
        if (ctx.funcCode == 100 || ctx.funcCode == 102)
            require(reply[2] == ctx.step);
        if (ctx.funcCode == 101)
            require(reply[2] < 254);
        break;
    default:
        require(false); // no other function is ever accepted
    }
    return 0;
}
