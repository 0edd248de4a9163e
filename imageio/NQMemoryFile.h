#ifndef NQ_IMAGEIO_NQMEMORYFILE_H
#define NQ_IMAGEIO_NQMEMORYFILE_H

// Memory files: a process-wide table of NQ_MEM_FILE_SLOTS in-memory files with
// an open/read/write/seek/close interface, so that codecs (and libtiff through
// client I/O) can treat a byte buffer like a file. A slot number is the
// descriptor. Every failure is reported by a return value (-1, or 0 for a read
// that would run past the end); nothing throws.
//
// Ownership: a buffer handed in for reading stays the caller's and is never
// written, grown or released. Blocks of files opened for writing (mode 'w', or
// 'a' without a buffer) are allocated with malloc/realloc; the creator takes
// such a block over with mfs_map before mfs_close and releases it with free.
// A buffer handed in for appending must itself come from malloc: growing it
// reallocates it, and the block returned by mfs_map replaces it.
//
// The table is safe to use from several threads at once (each file by one
// thread at a time).

constexpr int NQ_MEM_FILE_SLOTS = 20;

// Marks every slot free (without releasing any block) and returns the number
// of slots. mfs_open does this on its first call.
int mem_init();

// Opens a memory file on the first free slot. Only the first character of mode
// counts: 'r' adopts a non-null buffer of `size` bytes for reading, 'w' needs a
// null buffer and starts an empty block, 'a' adopts a non-null buffer with its
// size or starts an empty block. Returns the descriptor or -1.
int mfs_open(void* buffer, int size, const char* mode);

// Mode 'r' only. Copies n bytes and advances; returns n, 0 when fewer than n
// bytes remain (nothing is read), -1 on a bad descriptor, mode or count.
int mfs_read(int fd, void* dst, int n);

// Mode 'r' only. Skips newline bytes, copies up to n bytes up to the next
// newline (not included, no terminator), then skips the newlines that follow.
// Returns the count copied; 0 and no movement when offset + n exceeds the size.
int mfs_gets(int fd, void* dst, int n);

// Refused in mode 'r'. Mode 'w' writes at the offset, mode 'a' at the end; the
// block and the size grow as needed. Returns n, or -1 (nothing changed).
int mfs_write(int fd, const void* src, int n);

// whence 0 from the start, 1 from the offset, 2 from the end. A negative result
// gives -1. Positions beyond the end are allowed; a writable file grows to them
// on the next write (the gap reads as zero bytes), a read-only file does not.
int mfs_lseek(int fd, int off, int whence);

// As mfs_lseek, but a position below 0 or beyond the size gives -1 and leaves
// the offset unchanged.
int mfs_lseekForTIFFRead(int fd, int off, int whence);

int mfs_size(int fd);

// Returns 0 and the block and its size (either pointer may be null).
int mfs_map(int fd, char** block, unsigned int* size);
int mfs_unmap(int fd);

// Frees the slot, never the block.
int mfs_close(int fd);

// Resizes a writable file's block to `size` bytes; -1 when that fails or the
// file is read-only.
int extend_mem_file(int fd, int size);

// Releases a block that the table allocated or reallocated (for error paths
// that hand nothing to a caller); the file stays open and empty. -1 for a
// read-only file or a block that still belongs to the caller.
int mfs_discard(int fd);

#endif
