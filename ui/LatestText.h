#pragma once
#include <windows.h>

#include <memory>

#include "win/WidePath.h"

// The newest of the texts one thread hands to another. A text not yet taken when a newer one
// comes is dropped, so the giver never waits for the taker and the taker only ever sees the
// newest. Without locks: the slot is one pointer, exchanged whole.
class LatestText {
  public:
    LatestText() = default;
    LatestText(const LatestText&) = delete;
    LatestText& operator=(const LatestText&) = delete;
    ~LatestText() { delete Exchange(nullptr); }

    // Keeps text as the newest. True when the slot was empty: the taker has not been told of
    // any text yet and must be now.
    bool Put(std::unique_ptr<WidePath> text) {
        WidePath* older = Exchange(text.release());
        const bool wasEmpty = older == nullptr;
        delete older;
        return wasEmpty;
    }

    // The newest text, leaving the slot empty; null when there is none.
    std::unique_ptr<WidePath> Take() { return std::unique_ptr<WidePath>(Exchange(nullptr)); }

  private:
    WidePath* Exchange(WidePath* text) {
        return static_cast<WidePath*>(InterlockedExchangePointer(&newest_, text));
    }

    void* volatile newest_ = nullptr;
};
