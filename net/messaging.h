// Receiving and sending text messages and obeying remote commands: the core classes the main window owns.
#pragma once

#include "net/commands.h"
#include "net/textreceiver.h"
#include "net/textsender.h"

#include <QHostAddress>

// The IPv4 form of an address (also of an IPv4-mapped IPv6 one), or a null address when it has none.
QHostAddress IPv4Adresse(const QHostAddress& address);
