#pragma once
// The renderer's workspace: the names a rendering binds as it goes and the
// lists and buffers it reuses. Each thread keeps one and lends it to its
// renderings, so that a page allocates none of this once its thread has
// rendered a page or two.
#include <memory>
#include <vector>

#include "platform/base/KxCString.h"
#include "platform/template/KxContextObject.h"

namespace kx::tl {

struct LoopBinding {
    const KxCString* name;  // in the tree, which outlives its loop
    std::size_t hash;
    KxContextObject value;
};
struct Binding {
    KxCString name;
    std::size_t hash;
    KxContextObject value;
};

// Loop variables, macro parameters and #set names, argument lists per call
// depth and the text of a value being escaped.
struct Workspace {
    std::vector<LoopBinding> loops;
    std::vector<Binding> locals;
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
        workspace_->loops.clear();
        workspace_->locals.clear();
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
