:: geometry demonstration
