:: buffer demonstration
