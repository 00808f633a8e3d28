:: help demonstration
