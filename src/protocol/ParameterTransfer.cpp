// Reading and storing the 266-byte parameter block.
#include <cstring>
#include <limits>
#include <new>

#include "protocol/DevicePort.h"
#include "protocol/ParameterBlock.h"

namespace marnel {

Status CDevicePort::ReadParameterBlock(ParameterBlockBytes& block) {
    BeginTransfer();
    return Finish(ReadBlock(block.data()));
}

Status CDevicePort::WriteParameterBlock(const ParameterBlockBytes& block) {
    BeginTransfer();
    return Finish(WriteBlock(block.data(), static_cast<DWORD>(block.size())));
}

BOOL CDevicePort::ReadBlock(std::uint8_t* block) {
    const DWORD size = static_cast<DWORD>(kParameterBlockSize);
    auto command = kParameterReadCommand;
    if (!StartCommand(DeviceRequest::kStartParameterRead, command.data(), command.size())) {
        return 0;
    }
    if (!PollStatus(DeviceRequest::kParameterReadStatus, command.data(), command.size(),
                    kParameterReadPolls)) {
        return 0;
    }
    auto dataRead = kParameterDataReadRequest;
    DWORD returned = 0;  // not examined: a short reply leaves the rest of the buffer as it was
    if (!SendGet(DeviceRequest::kParameterDataRead, dataRead.data(), dataRead.size(), block, size,
                 &returned)) {
        return Fail(DeviceRequest::kParameterDataRead, FailureKind::kControlFailed);
    }
    if (!IsParameterBlockValid(block)) {
        return Fail(DeviceRequest::kParameterDataRead, FailureKind::kBadChecksum);
    }
    return 1;
}

BOOL CDevicePort::WriteBlock(const std::uint8_t* data, DWORD length) {
    if (!CheckServiceMode()) {
        return 0;
    }
    std::vector<std::uint8_t> request;
    try {
        const std::size_t total = static_cast<std::size_t>(length) + kRequestHeaderSize;
        if (total > std::numeric_limits<DWORD>::max()) {
            throw std::bad_alloc();  // cannot be described to the driver either
        }
        request = AllocateRequestBuffer(total);
    } catch (const std::bad_alloc&) {
        return Fail(DeviceRequest::kParameterDataWrite, FailureKind::kOutOfMemory);
    }
    std::memcpy(request.data(), kParameterDataWriteHeader.data(), kParameterDataWriteHeader.size());
    if (length != 0) {
        std::memcpy(request.data() + kRequestHeaderSize, data, length);
    }
    if (!SendSet(DeviceRequest::kParameterDataWrite, request.data(),
                 static_cast<DWORD>(request.size()))) {
        return Fail(DeviceRequest::kParameterDataWrite, FailureKind::kControlFailed);
    }
    auto store = kStoreCommand;
    if (!SendSet(DeviceRequest::kStoreParameters, store.data(), store.size())) {
        return Fail(DeviceRequest::kStoreParameters, FailureKind::kControlFailed);
    }
    return PollStatus(DeviceRequest::kStoreStatus, store.data(), store.size(), kStorePolls);
}

}  // namespace marnel
