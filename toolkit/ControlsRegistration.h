#pragma once
// Publishes the toolkit's controls, forms and timer to the streaming, so that stored forms can
// name them. Safe to call any number of times; the application and every form call it, so nothing
// depends on the order in which units start up.
void RegisterControlClasses();
