// Lets a library made only of another target's objects have a source.
