#pragma once
// The renderer's workspace: the values of the names a rendering uses as it
// goes and the lists and buffers it reuses. Each thread keeps one and lends it to its
// renderings, so that a page allocates none of this once its thread has
// rendered a page or two.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/base/KxCString.h"
#include "platform/template/KxContextObject.h"

namespace kx::tl {

// What a name means at one point of a rendering. Unknown: not asked for
// yet, so the context decides when it is. Known: the context's value, or
// the one #set gave it. Bound: a loop variable or a macro parameter, whose
// value #set changes in place.
struct SlotValue {
    enum class State : std::uint8_t { Unknown, Known, Bound };
    KxContextObject value;
    State state = State::Unknown;
    bool touched = false;  // listed in Workspace::touched
};

// What a name meant before a loop or a macro call bound it, given back
// when the loop or the call ends.
struct SavedSlot {
    std::uint32_t slot;
    SlotValue::State state;
    KxContextObject value;
};

// The names' values by slot (nameSlot) and the slots a rendering changed,
// argument lists per call depth and the text of a value being escaped.
struct Workspace {
    std::vector<SlotValue> slots;
    std::vector<std::uint32_t> touched;                   // each slot at most once
    std::vector<SavedSlot> saved;                         // innermost binding last
    std::vector<std::vector<KxContextObject>> arguments;  // one list per call depth
    KxCString scratch;                                    // a value's text while it is escaped
    KxCString left, right;                                // the texts of a comparison
    KxCString escaping;                                   // a value $esc escapes
    std::vector<KxCString> texts;                         // strings being built, one per depth
    bool lent = false;
};

// Lends the thread's workspace, or a workspace of its own to a rendering
// that starts while another of the same thread runs (a value that renders a
// template). Given back empty, also after an exception, so that it holds no
// value past its rendering.
class WorkspaceLease {
  public:
    WorkspaceLease() {
        Workspace& shared = threadWorkspace();
        if (shared.lent) {
            own_ = std::make_unique<Workspace>();
            workspace_ = own_.get();
        } else {
            workspace_ = &shared;
        }
        workspace_->lent = true;
    }
    WorkspaceLease(const WorkspaceLease&) = delete;
    WorkspaceLease& operator=(const WorkspaceLease&) = delete;
    ~WorkspaceLease() {
        for (const std::uint32_t slot : workspace_->touched) {
            workspace_->slots[slot] = SlotValue();
        }
        workspace_->touched.clear();
        workspace_->saved.clear();
        for (auto& list : workspace_->arguments) {
            list.clear();
        }
        // A huge value escaped once does not stay with the thread.
        for (KxCString* text :
             {&workspace_->scratch, &workspace_->left, &workspace_->right, &workspace_->escaping}) {
            if (text->capacity() > kKeptScratch) {
                KxCString().swap(*text);
            }
        }
        for (KxCString& text : workspace_->texts) {
            if (text.capacity() > kKeptScratch) {
                KxCString().swap(text);
            }
        }
        workspace_->lent = false;
    }

    Workspace& get() { return *workspace_; }

  private:
    static Workspace& threadWorkspace() {
        thread_local Workspace workspace;
        return workspace;
    }
    static constexpr std::size_t kKeptScratch = 64 * 1024;
    std::unique_ptr<Workspace> own_;
    Workspace* workspace_ = nullptr;
};

}  // namespace kx::tl
