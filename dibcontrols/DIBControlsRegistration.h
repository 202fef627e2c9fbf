#pragma once
// Publishes the picture controls, their containers, their features, children lists and the timer
// to the streaming, so that stored forms can name them and templates can find their properties.
// Safe to call any number of times; containers call it when they are built, and a form that reads
// a stored layout calls it before reading.
void RegisterDIBControlClasses();
