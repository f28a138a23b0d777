// InstCompress: the archive and compression library.
//
// The chief header: the archive component TQuorvexCompress with its event types, the exception
// classes, the streams, the archive format records and methods, the codec entry RunCodec, the
// archive walker and the archive writer.
#pragma once

#include "ArchiveFormat.h"
#include "ArchiveWalker.h"
#include "ArchiveWriter.h"
#include "CodecSettings.h"
#include "CompressMethod.h"
#include "DosDateTime.h"
#include "EntryCompressor.h"
#include "Events.h"
#include "Exceptions.h"
#include "Export.h"
#include "FileStream.h"
#include "MemoryStream.h"
#include "QuorvexCompress.h"
#include "RunCodec.h"
#include "Stream.h"

namespace qvx {

// The library's version, "major.minor.patch".
INSTCOMPRESS_API const char* InstCompressVersion() noexcept;

}  // namespace qvx
