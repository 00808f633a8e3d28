:: window demonstration
