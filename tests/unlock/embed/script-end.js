export const a = '</SCRIPT>';
