// The undo history of the picture being edited: every change to the
// picture can be taken back, many steps, and taken again until the next
// change.
//
// A step keeps only what its change replaced, and undo and redo swap it
// with what the picture now holds, so that a step always holds the other
// side of its change and neither needs memory of its own:
//   - a pixel step: the pixels of one rectangle (a selection, or the whole
//     picture) as they were, for a change that keeps the picture's size
//     and alpha plane;
//   - a picture step: the whole picture as it was, its size and alpha plane
//     with it, for a change that makes a new picture (resize, crop).
// The steps together hold at most capBytes; the oldest go first, and a
// step larger than the cap is not kept.  A change the history could not
// keep (the cap, or no memory) still happens; nothing before it can then
// be undone, and lost says so.
//
// The history also knows which step the picture was last opened or saved
// at, and sets the document's isModified to whether the picture differs
// from it.
#pragma once

#include "image/failure.h"
#include "image/image_document.h"
#include "image/picture_block.h"
#include "image/region_swap.h"

#include <cstdint>
#include <vector>

// The most the steps hold together: less in the 32-bit program, whose
// address space is tight.
inline constexpr std::uint64_t kHistoryCapBytes =
    sizeof(void*) >= 8 ? (std::uint64_t{512} << 20) : (std::uint64_t{128} << 20);

struct HistoryStep {
    bool picture = false;             // a picture step (else a pixel step)
    PictureRect rect = {};            // a pixel step: where its pixels lie, ends inclusive
    HGLOBAL block = nullptr;          // unlocked WorkDib: the rectangle's pixels, or the whole picture
    LONG width = 0;                   // the block's size
    LONG height = 0;
    std::vector<std::uint8_t> alpha;  // a picture step: its alpha plane (empty for none)
};

struct EditHistory {
    std::vector<HistoryStep> steps;  // oldest first: [0, done) can be undone, [done, end) redone
    std::size_t done = 0;
    // The value of done when the picture was as last opened or saved; -1
    // when no step leads there any more.
    std::ptrdiff_t saved = 0;
    std::uint64_t bytes = 0;  // what the steps hold
    std::uint64_t capBytes = kHistoryCapBytes;
    bool lost = false;  // a change since the picture opened could not be kept
    // The step of a change under way (HistoryBeginChange), and whether it
    // could be kept.
    HistoryStep pending;
    bool pendingKept = false;
};

// Lets every step go: before another picture opens, or when the picture
// is let go.  The picture as it now is counts as saved.
void HistoryRelease(EditHistory* history);

// The picture as it now is reached its file.
void HistoryMarkSaved(EditHistory* history);

bool HistoryCanUndo(const EditHistory& history);
bool HistoryCanRedo(const EditHistory& history);
// Nothing is left to undo because a change could not be kept.
bool HistoryUndoLost(const EditHistory& history);

// A change that keeps the picture's size and alpha plane is about to be
// made to the pixels of doc, which holds the rectangle where of the
// picture (a region cut out, or the whole picture): keeps a copy of them.
// The steps that could be redone go; older steps go while the cap needs
// room.  When there is no room or no memory, the change will not be kept.
void HistoryBeginChange(EditHistory* history, const ImageDocument& doc, const PictureRect& where);
// The change was made, doc is the whole picture again: the copy becomes a
// step, or, when it could not be kept, every step goes and lost is set.
// doc->isModified becomes 1.
void HistoryCommitChange(EditHistory* history, ImageDocument* doc);
// The change was not made: the copy goes.
void HistoryDropChange(EditHistory* history);

// doc takes made's block and alpha takes made's alpha plane (made holds a
// picture: its failure is None); the old picture and alpha plane become a
// picture step, or are let go when the history cannot keep them (as
// HistoryCommitChange).  A failed free is added to warnings, when given.
// doc->isModified becomes 1.
void HistoryReplacePicture(EditHistory* history, ImageDocument* doc, std::vector<std::uint8_t>* alpha,
                           PictureBlock made, Outcome* warnings);

// What an undo or redo did to the document.
enum class HistoryMove {
    None,     // nothing to undo or redo
    Pixels,   // pixels changed; the size and alpha plane are as they were
    Picture,  // the picture was replaced: size, pixels and alpha plane
};

// Takes the last step back, or the next step again, on doc (the whole
// picture) and alpha, its alpha plane.  Needs no memory.  doc->isModified
// becomes whether the picture differs from the one last opened or saved.
HistoryMove HistoryUndo(EditHistory* history, ImageDocument* doc, std::vector<std::uint8_t>* alpha);
HistoryMove HistoryRedo(EditHistory* history, ImageDocument* doc, std::vector<std::uint8_t>* alpha);
