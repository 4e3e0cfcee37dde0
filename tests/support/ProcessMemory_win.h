#pragma once
// What a process holds, for tests and measurements of growth: committed
// private memory (what Windows counts as the process's private usage, in
// 64 KiB steps) and the bytes in use on the process heap.
#include <windows.h>

#include <cstddef>

inline size_t CommittedPrivateBytes() {
    size_t Bytes = 0;
    MEMORY_BASIC_INFORMATION Region;
    for (const char* At = nullptr; VirtualQuery(At, &Region, sizeof Region) == sizeof Region;
         At = static_cast<const char*>(Region.BaseAddress) + Region.RegionSize)
        if (Region.State == MEM_COMMIT && Region.Type == MEM_PRIVATE)
            Bytes += Region.RegionSize;
    return Bytes;
}

inline size_t ProcessHeapInUse() {
    size_t Bytes = 0;
    const HANDLE Heap = GetProcessHeap();
    PROCESS_HEAP_ENTRY Entry{};
    HeapLock(Heap);
    while (HeapWalk(Heap, &Entry))
        if (Entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
            Bytes += Entry.cbData;
    HeapUnlock(Heap);
    return Bytes;
}
