:: keys demonstration
