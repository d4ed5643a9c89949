// Placeholder: filled in by its component's work.
