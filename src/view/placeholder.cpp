// Placeholder until the packet list lands.
