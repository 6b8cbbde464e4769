#pragma once
// A large sheet opened or saved is millions of small blocks from the heap: a table text and
// a workbook cell each. The first touch of every 4 KiB page of them costs a page fault, and
// where faults are dear (virtual machines: several microseconds each) tens of thousands of
// them take longer than the work itself. Called at the start of a command that reads or
// writes large files, this lets the heap grow in one large step of address space advised for
// transparent huge pages, so that one fault brings in 2 MiB. Only advice: where the system
// gives no huge pages the heap works as before, and a heap that outgrows the step grows on as
// usual. Not for the long-running station, whose latency matters more than its faults.
namespace ln40::cli {

void UseHugePagesForTheHeap();

}  // namespace ln40::cli
