// The incremental collector: three colours kept in doubly linked lists, a write barrier on every
// reference store, and a bounded piece of marking after every host event. No stack scanning: it only
// runs between events, so the registered roots and the host's delegate are all it needs.
#pragma once
#include <atomic>
#include <cstddef>
#include <type_traits>

struct gc_object;

// Colour value of static objects (the shared empty array reps): never equal to gc_markbit, so never touched.
constexpr int gc_static_colour = 3;
constexpr int gc_cycle_bytes = 0x800000; // new bytes per collection cycle (8 MiB)

struct gc_static_tag {};

struct gc_object {
    gc_object *succ;
    gc_object *pred;
    int flags; // allocation size | colour

    gc_object();                       // links the block handed out by gc_object_alloc
    explicit gc_object(gc_static_tag); // a static object outside every list
    gc_object(const gc_object &) = delete;
    gc_object &operator=(const gc_object &) = delete;
    virtual ~gc_object() {}
    virtual void mark() {}

    int gc_size() const { return flags & ~7; }

    static void *operator new(size_t size);
    static void operator delete(void *p); // only reached if a constructor throws
    static void *operator new(size_t, void *where) { return where; }
    static void operator delete(void *, void *) {}
};

// Interfaces hold nothing for the collector.
struct gc_interface {
    virtual ~gc_interface() {}
};

struct gc_list {
    gc_object *succ;
    gc_object *pred;
};

extern gc_object gc_unmarked_list;
extern gc_object gc_queued_list;
extern gc_object gc_marked_list;
extern gc_object gc_free_list;

extern int gc_markbit;
extern int gc_new_bytes;
extern int gc_alloced_bytes;
extern int gc_max_alloced_bytes;
extern int gc_marked_bytes;
extern int gc_free_bytes;
extern std::atomic<int> gc_ext_new_bytes;

// Raw block for a collectable object of `size` bytes; the object's constructor links it white. A size
// the collector's 32-bit counts cannot hold ends the process as memory exhaustion does.
void *gc_object_alloc(size_t size);
// Returns the block of an already destroyed object to its size-class cache or the heap.
void gc_object_free(void *block, int size);
int gc_ext_malloced(int bytes);

void gc_init();               // empties the four lists
void gc_mark_q(gc_object *p); // queue a white object (grey)
void gc_mark(gc_object *p);   // mark a white object and its children at once
void gc_mark_queued(int limit);
void gc_mark_roots();                      // queues every registered root
void gc_collect_step(gc_object *delegate); // the per-event step
bool gc_validate_list(gc_object *list, const char *text);
// Destroys at once every object the last sweep found dead, rather than a little with each allocation:
// for tools that must see the heap come back to where it was.
void gc_destroy_dead();

// Root registry: every module global that holds an object or an array registers its slot once. The
// slot is read back through its own type, so a class whose collectable base is not its first base
// still yields the address of that base.
typedef gc_object *(*gc_root_reader)(const void *slot);
void gc_add_root(const void *slot, gc_root_reader read);
template <class T> inline void gc_register_root(T *&slot) {
    static_assert(std::is_base_of_v<gc_object, T>, "roots hold collectable objects");
    gc_add_root(&slot, [](const void *s) -> gc_object * { return *static_cast<T *const *>(s); });
}
// Declared beside a global: `static gc_root root_of_x(x);`
struct gc_root {
    template <class S> explicit gc_root(S &slot) { gc_register_root(slot); }
};

// Write barrier for object references: queue the value, then store it.
template <class V> inline gc_object *gc_as_object(V *p) {
    if constexpr (std::is_base_of_v<gc_object, V>)
        return p;
    else
        return dynamic_cast<gc_object *>(p); // an interface pointer
}
template <class T, class V> inline void gc_assign(T *&lhs, V *rhs) {
    gc_mark_q(gc_as_object(rhs));
    lhs = rhs;
}
template <class T> inline void gc_assign(T *&lhs, std::nullptr_t) { lhs = nullptr; }

// Test and benchmark hooks: how many objects were destroyed since start.
extern long gc_destroyed_count;
