export default 1;
