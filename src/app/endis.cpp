// Placeholder until the enable/disable helper lands.
