// Entity names: every host name the exporter writes as a .x identifier is cleaned
// first, and with unique names on every object except bones is numbered.
#pragma once

#include <korvo_sdk.h>

#include "host/host.h"

namespace dorna {

// A cleaned copy of `name`: German umlauts and sharp s spelt out, the separators
// space . - / \ ^ turned into "_", and then every character that breaks the .x text
// grammar (TAB, CR, LF, " { } ; , < > ( ) [ ] #) turned into "_" as well. Everything
// else passes unchanged; cleaning a cleaned name changes nothing.
HostString sanitizeName(const HostString& name);

// Every `searched` character of `text` replaced by `replacement`, an ASCII text that
// does not contain `searched`.
void replaceCharacter(HostString& text, char searched, const char* replacement);

// Renames the object in the host to its cleaned name plus "_" and the entity counter,
// then advances the counter. A null object or a bone is left alone and uses no number.
void appendUniqueNumber(KrvObject object);

// What the writers put into the file for a cleaned name: the name itself, or "_" when
// it cleaned to nothing (an empty identifier makes readers reject the whole file).
HostString identifierFor(const HostString& cleanedName);
// identifierFor the cleaned host name of the object.
HostString objectIdentifier(KrvObject object);

}  // namespace dorna
