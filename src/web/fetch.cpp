// Filled in by the change that builds this unit.
