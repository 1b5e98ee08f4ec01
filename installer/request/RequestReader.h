// A whole install request: the envelope, then the install parameters it
// carries Base64-encoded. Pure text code, free of the Windows headers.
#pragma once

#include <string>

#include "installer/request/InstallRequest.h"
#include "installer/request/RequestEnvelope.h"

// Reads the envelope and decodes its parameters over `request`. An empty,
// undecodable or unreadable parameters document leaves every field of
// `request` as it was; only values without a text form make the whole
// request unusable. False for an unusable request (not JSON, a root that is
// neither an object nor null, or such values): then neither `envelope` nor
// `request` changes. On success `envelope` holds the envelope read.
// Strings of both layers are read as ANSI text of `codePage`.
bool ReadInstallRequest(const std::string& text,
                        InstallEnvelope& envelope,
                        InstallRequest& request,
                        const AnsiCodePage& codePage = {});
