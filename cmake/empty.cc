// Placeholder translation unit for areas and targets made only of other libraries.
