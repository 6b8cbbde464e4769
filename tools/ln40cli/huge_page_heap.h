#pragma once
// A large sheet opened or saved is millions of small blocks from the heap: a table text and
// a workbook cell each. The first touch of every 4 KiB page of them costs a page fault, and
// where faults are dear (virtual machines: several microseconds each) tens of thousands of
// them take longer than the work itself. Called at the start of a command that reads or
// writes large files, this lets the heap grow in one large step of address space advised for
// transparent huge pages, so that one fault brings in 2 MiB. Only advice: where the system
// gives no huge pages the heap works as before, and a heap that outgrows the step grows on as
// usual. Not for the long-running station, whose latency matters more than its faults.
#include <cstddef>
#include <string>

namespace ln40::cli {

// `expected` is about how much of the heap the command will use. The kernel brings in that
// much of the new heap on another thread at once (clearing memory is most of the cost of a
// fault), while this thread goes on reading the input; 0 leaves every page to its first touch.
void UseHugePagesForTheHeap(std::size_t expected = 0);

// The size of a regular file; 0 for anything else. A command's heap is a few times the size
// of the file it reads: the table's cells are larger than the file's records or fields.
std::size_t RegularFileSize(const std::string& file_name);

}  // namespace ln40::cli
