#pragma once
// Hands the pieces of a streamed answer from the thread that produces them
// to the connection that sends them: the producer waits until the piece
// before has been written, so at most one piece is held at a time.
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/servlet/KxPayloadStream.h"

namespace kx::container {

struct KxStreamPump {
    explicit KxStreamPump(std::shared_ptr<KxPayloadStream> stream) : stream(std::move(stream)) {}

    // The producer: waits until the next piece may be made; false once the
    // connection has given up on the stream.
    bool awaitTurn() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return mayProduce || abandoned; });
        mayProduce = false;
        return !abandoned;
    }
    // The connection: the piece is written, make the next one.
    void release() {
        std::lock_guard lock(mutex);
        mayProduce = true;
        changed.notify_one();
    }
    // The connection: no more pieces are wanted.
    void abandon() {
        stream->cancel();
        std::lock_guard lock(mutex);
        abandoned = true;
        changed.notify_one();
    }

    const std::shared_ptr<KxPayloadStream> stream;
    std::mutex mutex;
    std::condition_variable changed;
    bool mayProduce = true;
    bool abandoned = false;
};

}  // namespace kx::container
