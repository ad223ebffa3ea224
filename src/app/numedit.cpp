// Placeholder until the numeric edit lands.
