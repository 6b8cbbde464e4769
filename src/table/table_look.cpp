#include "table/table_look.h"

namespace ln40 {

TableLook BandedTableLook(const SystemColors& colors) {
  TableLook look;
  look.bands = true;
  look.colors = colors;
  return look;
}

TableLook ListTableLook(const SystemColors& colors) {
  TableLook look;
  look.colors = colors;
  return look;
}

}  // namespace ln40
