#include "runtime/gc.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

gc_object gc_unmarked_list{gc_static_tag{}};
gc_object gc_queued_list{gc_static_tag{}};
gc_object gc_marked_list{gc_static_tag{}};
gc_object gc_free_list{gc_static_tag{}};

int gc_markbit = 1;
int gc_new_bytes;
int gc_alloced_bytes;
int gc_max_alloced_bytes;
int gc_marked_bytes;
int gc_free_bytes;
std::atomic<int> gc_ext_new_bytes;
long gc_destroyed_count;

namespace {

// Size-class caches of freed blocks below 64 bytes, each linked through its first word.
void *gc_cache[8];

// Blocks handed out by gc_object_alloc whose gc_object constructor has not run yet, with their sizes.
// C++ allocates an object before it evaluates its constructor's arguments, so `new A(new B)` hands
// out A's block, then B's, and constructs B first: each constructor finds the block it lies in (its
// base may sit past the start of the block when it is not the class's first base).
struct Pending {
    void *block;
    int size;
};
constexpr int kMaxPending = 64;
Pending gc_pending[kMaxPending];
int gc_pending_count;

struct Root {
    const void *slot;
    gc_root_reader read;
};

std::vector<Root> &roots() {
    static std::vector<Root> slots;
    return slots;
}

[[noreturn]] void out_of_memory() {
    std::fputs("Out of memory\n", stdout);
    std::fflush(stdout);
    std::exit(-1);
}

void list_clear(gc_object &list) { list.succ = list.pred = &list; }

bool list_empty(gc_object &list) { return list.succ == &list; }

void list_remove(gc_object *p) {
    p->pred->succ = p->succ;
    p->succ->pred = p->pred;
}

void list_insert_tail(gc_object *p, gc_object &list) {
    p->succ = &list;
    p->pred = list.pred;
    list.pred->succ = p;
    list.pred = p;
}

void list_move_tail(gc_object *p, gc_object &list) {
    list_remove(p);
    list_insert_tail(p, list);
}

bool is_white(gc_object *p) { return (p->flags & 3) == gc_markbit; }

// Destroys one dead object: its destructor chain, then its block, which starts at the most derived
// object (past which the gc_object base may lie).
void destroy(gc_object *p) {
    int size = p->gc_size();
    void *block = dynamic_cast<void *>(p);
    p->~gc_object();
    gc_object_free(block, size);
    ++gc_destroyed_count;
}

} // namespace

gc_object::gc_object() {
    // The most recent block first: nested allocations are constructed innermost first.
    for (int i = gc_pending_count - 1; i >= 0; --i) {
        char *at = static_cast<char *>(gc_pending[i].block);
        if (reinterpret_cast<char *>(this) < at || reinterpret_cast<char *>(this) >= at + gc_pending[i].size)
            continue;
        flags = gc_pending[i].size | gc_markbit;
        gc_pending[i] = gc_pending[--gc_pending_count];
        list_insert_tail(this, gc_unmarked_list);
        return;
    }
    // Not from gc_object_alloc: a static or automatic object, never collected.
    succ = pred = this;
    flags = gc_static_colour;
}

gc_object::gc_object(gc_static_tag) : succ(this), pred(this), flags(gc_static_colour) {}

void *gc_object::operator new(size_t size) { return gc_object_alloc(size); }

void gc_object::operator delete(void *p) { std::free(p); }

void gc_init() {
    list_clear(gc_unmarked_list);
    list_clear(gc_queued_list);
    list_clear(gc_marked_list);
    list_clear(gc_free_list);
}

void *gc_object_alloc(size_t bytes) {
    // Sizes and byte counts are 32-bit: a block they cannot count is memory this process cannot have.
    if (bytes > static_cast<size_t>(INT_MAX - 7)) out_of_memory();
    int size = static_cast<int>((bytes + 7) & ~static_cast<size_t>(7));
    if (gc_new_bytes > INT_MAX - size || gc_alloced_bytes > INT_MAX - size) out_of_memory();
    if (gc_pending_count == kMaxPending) out_of_memory(); // constructors nested beyond all reason
    gc_new_bytes += size;

    // Destroy dead objects to pay for this allocation.
    int target = gc_free_bytes - size;
    if (target < 0) target = 0;
    while (gc_free_bytes > target && !list_empty(gc_free_list)) {
        gc_object *p = gc_free_list.succ;
        list_remove(p);
        destroy(p);
    }

    void *block = nullptr;
    if (size < 64 && gc_cache[size >> 3]) {
        block = gc_cache[size >> 3];
        gc_cache[size >> 3] = *static_cast<void **>(block);
    } else {
        block = std::malloc(size);
        if (!block) out_of_memory();
    }
    gc_pending[gc_pending_count++] = {block, size};
    gc_alloced_bytes += size;
    if (gc_alloced_bytes > gc_max_alloced_bytes) gc_max_alloced_bytes = gc_alloced_bytes;
    return block;
}

void gc_object_free(void *block, int size) {
    gc_free_bytes -= size;
    if (size < 64) {
        // The object is destroyed: link the raw block through its first word, not through its members.
        *static_cast<void **>(block) = gc_cache[size >> 3];
        gc_cache[size >> 3] = block;
    } else {
        std::free(block);
    }
}

int gc_ext_malloced(int bytes) {
    gc_ext_new_bytes.fetch_add(bytes);
    return bytes;
}

void gc_mark_q(gc_object *p) {
    if (p && is_white(p)) {
        p->flags ^= 1;
        list_move_tail(p, gc_queued_list);
    }
}

void gc_mark(gc_object *p) {
    if (p && is_white(p)) {
        p->flags ^= 1;
        list_move_tail(p, gc_marked_list);
        gc_marked_bytes += p->gc_size();
        p->mark();
    }
}

void gc_mark_queued(int limit) {
    while (gc_marked_bytes < limit && !list_empty(gc_queued_list)) {
        gc_object *p = gc_queued_list.succ;
        list_move_tail(p, gc_marked_list);
        gc_marked_bytes += p->gc_size();
        p->mark();
    }
}

void gc_add_root(const void *slot, gc_root_reader read) { roots().push_back({slot, read}); }

void gc_mark_roots() {
    for (const Root &root : roots())
        gc_mark_q(root.read(root.slot));
}

void gc_collect_step(gc_object *delegate) {
    gc_mark(delegate);

    int ext = gc_ext_new_bytes.load();
    if (static_cast<long long>(gc_new_bytes) + ext > gc_cycle_bytes) {
        gc_ext_new_bytes.fetch_sub(ext); // additions made meanwhile by workers survive
        gc_mark_queued(0x7fffffff);

        // Sweep: what is still white is dead.
        if (!list_empty(gc_unmarked_list)) {
            gc_object *head = gc_unmarked_list.succ, *tail = gc_unmarked_list.pred;
            head->pred = gc_free_list.pred;
            tail->succ = &gc_free_list;
            gc_free_list.pred->succ = head;
            gc_free_list.pred = tail;
            gc_free_bytes += gc_alloced_bytes - gc_marked_bytes;
        }
        // The marked list becomes the new unmarked list.
        if (list_empty(gc_marked_list)) {
            list_clear(gc_unmarked_list);
        } else {
            gc_unmarked_list.succ = gc_marked_list.succ;
            gc_unmarked_list.succ->pred = &gc_unmarked_list;
            gc_unmarked_list.pred = gc_marked_list.pred;
            gc_unmarked_list.pred->succ = &gc_unmarked_list;
        }
        list_clear(gc_marked_list);
        gc_alloced_bytes = gc_marked_bytes;
        gc_marked_bytes = 0;
        gc_markbit ^= 1;
        gc_mark_roots();
        gc_new_bytes = 0;
        return;
    }

    long long limit =
        gc_new_bytes +
        (static_cast<long long>(gc_alloced_bytes - gc_new_bytes) * gc_new_bytes) / gc_cycle_bytes;
    gc_mark_queued(static_cast<int>(limit));
}

void gc_destroy_dead() {
    while (!list_empty(gc_free_list)) {
        gc_object *p = gc_free_list.succ;
        list_remove(p);
        destroy(p);
    }
}

bool gc_validate_list(gc_object *list, const char *text) {
    gc_object *node = list->succ;
    while (node != list) {
        if (!node || node->succ->pred != node || node->pred->succ != node) {
            std::printf("%s\nLIST ERROR!\n", text);
            std::fflush(stdout);
            std::exit(-1);
        }
        node = node->succ;
    }
    return true;
}
