#pragma once
// The projector link as the windows see it: connection, flags and identity, transactions
// and the command set.
#include "link/CommandPacket.h"
#include "link/Commands.h"
#include "link/DriverTrace.h"
#include "link/FlashSectors.h"
#include "link/LinkState.h"
#include "link/Transactions.h"
#include "link/UsbConnection.h"
