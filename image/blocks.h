// Blocks for pictures, their working copies and the engines' output: a
// freed large block is kept for the next request it can hold.
//
// Touching a fresh page costs far more than clearing one already touched,
// and the system hands a large block back to the kernel when it is freed
// (Wine and Windows do so for anything above about half a megabyte), so a
// program that makes a new picture-sized block for every opened file,
// working copy and saved file pays for every page of it again.  The keeper
// holds a few freed large blocks (FreeBlock) and gives the next request
// of no greater size one of them (AllocateBlock), cleared and resized to
// the request.  What it keeps is bounded: a few blocks and a few hundred
// megabytes, fewer in the 32-bit program.  When the system refuses a
// fresh block, the kept ones are given back and the request tried again
// once.
#pragma once

#include "platform/platform.h"

// A movable, zero-filled block of bytes, as GlobalAlloc(GHND, bytes):
// GlobalLock, GlobalUnlock and GlobalSize (which says bytes) work on it, and
// GlobalFree frees it without keeping it.  Null when there is no memory.
HGLOBAL AllocateBlock(SIZE_T bytes);

// The same for a caller that writes every byte of the block before it
// reads any: a kept block is handed over as it was left, not cleared.
HGLOBAL AllocateBlockToFill(SIZE_T bytes);

// Frees an unlocked block from AllocateBlock or GlobalAlloc (a lock left on
// it is released), keeping a large one for a later request.  Like
// GlobalFree: null on success, the block when the system refused to free it.
HGLOBAL FreeBlock(HGLOBAL block);

// Gives every kept block back to the system.
void ReleaseKeptBlocks();

// Called before a library takes memory of its own, which the keeper cannot
// give back when that fails (libjpeg's buffers): in the 32-bit program,
// whose address space is tight, gives every kept block back; elsewhere
// keeps them.
void ReleaseKeptBlocksForLibraries();

// How many blocks are kept and their bytes, for tests.
int KeptBlockCount();
SIZE_T KeptBlockBytes();
