#pragma once
// The elements of a workbook file besides its workbook stream (summary information, macro
// projects, embedded objects), kept while the workbook is open so that saving writes them
// back unchanged.
#include <cstdint>
#include <string>
#include <vector>

#include "compound_file/ole2_storage.h"

namespace ln40 {

struct TXlsStorage;

// Owns its entries; keeps the order in which they were listed.
using TXlsStorageList = std::vector<TXlsStorage>;

// One kept element: a stream with its whole contents, or a storage with its own kept
// elements. Which of the two is told by the contents: an entry with contents is a stream.
struct TXlsStorage {
  std::string Name;          // Windows-1252
  std::u16string WideName;   // the name exactly as read; empty for entries made in code,
                             // which are written under Name
  std::vector<std::uint8_t> Contents;
  TXlsStorageList Elements;
};

// Reads the elements of the current storage (normally the root) of a storage open for
// reading: every stream whole, except a stream named "Workbook" at the root and the stream
// the workbook is read from there (see workbook_stream.h), and except a stream whose data
// the file does not hold (TOle2Element::Readable); every sub-storage with its own
// elements, recursively (a "Workbook" stream inside is kept); elements of other kinds are
// left out. Names compare without regard to letter case.
TXlsStorageList ReadKeptElements(TOle2Storage& storage);

// Writes kept elements into the current storage of a storage being created, in list
// order: an entry with at least one byte of contents as a stream; an entry without
// contents but with elements of its own as a storage holding them, written the same way;
// an entry with neither is left out, and so is an entry named "Workbook" at the root.
void WriteKeptElements(TOle2Storage& storage, const TXlsStorageList& elements);

}  // namespace ln40
