#pragma once
// Connectivity test of the start-up and the production run.

namespace tolvak {

/// True when the platform reports an active network connection other than loopback: an
/// interface that is up and running, is not a loopback interface and carries an address.
/// Sends no traffic. The environment variable TOLVAK_ONLINE set to "1" or "0" forces the
/// answer (for tests and for stations whose network the platform misreports).
bool CzyJestInternet();

}  // namespace tolvak
