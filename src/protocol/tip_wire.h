// Writing one tip record in the form the response decoder reads it: the
// serving side of the new-tips response.
#pragma once

#include "protocol/tip_record.h"

class ByteWriter;

// Appends the record: its length word, the fields in wire order, each text
// bounded by its field. False when the writer is full or the record has more
// buttons than a record can carry.
bool AppendTipRecordWire(ByteWriter& out, const TipRecord& tip);
