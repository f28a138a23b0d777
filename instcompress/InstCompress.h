// InstCompress: the archive and compression library.
//
// The chief header: the archive component TQuorvexCompress with its event types, the exception
// classes, the streams, the archive format records, the codec engine entry RunCodec and the
// archive writer.
#pragma once

#include "ArchiveFormat.h"
#include "ArchiveWalker.h"
#include "ArchiveWriter.h"
#include "CodecEngine.h"
#include "DosDateTime.h"
#include "Events.h"
#include "Exceptions.h"
#include "FileStream.h"
#include "MemoryStream.h"
#include "QuorvexCompress.h"
#include "Stream.h"
